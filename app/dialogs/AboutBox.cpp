#include "app/dialogs/AboutBox.h"
#include "app/commandline/ZoneRulesText.h"
#include "kiv/KivTimeZone.h"

#include "app/ProgramInfo.h"
#include "app/icons/Icons.h"
#include "app/text/Messages.h"
#include "app/text/StringTable.h"
#include "app/text/Translation.h"
#include "kiv/KivData.h"
#include "platform/VersionResource.h"
#include "platform/WebAddress.h"
#include "ui_AboutBox.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QMouseEvent>
#include <QScrollBar>
#include <QUrl>

// The resources live in the static application library: register them
// explicitly (outside any namespace, as the registration function is global).
static void InitAboutResources() {
    Q_INIT_RESOURCE(About);
}

namespace app {

namespace {

QString ResourceText(const QString& name) {
    QFile file(name);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

// The legal notice: the program's own, then the credits of the shipped data.
QString LegalNotice() {
    static const bool registered = (InitAboutResources(), true);
    (void)registered;
    return ResourceText(QStringLiteral(":/about/LegalNotice.txt")) + QLatin1Char('\n') +
           ResourceText(QStringLiteral(":/about/NOTICE"));
}

bool IsWebScheme(const QString& scheme) {
    return scheme.compare(QLatin1String("http"), Qt::CaseInsensitive) == 0 ||
           scheme.compare(QLatin1String("https"), Qt::CaseInsensitive) == 0;
}

} // namespace

TAboutServices& AboutServices() {
    static TAboutServices services{platform::GetMemoryStatus, platform::InternetConnected,
                                   platform::OpenAddress};
    return services;
}

QString FormatTotalPhys(std::uint64_t bytes, const QLocale& locale) {
    QLocale grouped = locale;
    grouped.setNumberOptions(locale.numberOptions() & ~QLocale::OmitGroupSeparator);
    const std::uint64_t kilobytes = bytes / 1024 + (bytes % 1024 != 0 ? 1 : 0);
    return grouped.toString(static_cast<qulonglong>(kilobytes)) + QStringLiteral("KB");
}

QString AddressWithoutFragment(const QString& address) {
    const qsizetype hash = address.indexOf(QLatin1Char('#'));
    return hash < 0 ? address : address.left(hash);
}

QString HomePageAddress(const std::string& programDir) {
    if (const std::optional<QString> installed = platform::InstallerHomePage(ApplicationTitle)) {
        return *installed;
    }
    if (*ProgramHomePage != '\0') {
        return QString::fromUtf8(ProgramHomePage);
    }
    const QString docs =
        QDir::cleanPath(QString::fromStdString(kiv::ProgramPath(DocDirFromProgram, programDir)));
    // The installed documentation, else the copy a program run from its
    // build keeps beside itself.
    for (const QString& readme :
         {docs + QStringLiteral("/README.md"),
          QString::fromStdString(kiv::ProgramPath("README.md", programDir))}) {
        if (QFileInfo::exists(readme)) {
            return QUrl::fromLocalFile(readme).toString();
        }
    }
    return QUrl::fromLocalFile(docs).toString();
}

bool OpenHomePage(const QString& address, QWidget* parent) {
    if (address.isEmpty()) {
        return false;
    }
    const QUrl url(address);
    const bool openNow =
        !IsWebScheme(url.scheme()) || (!url.path().isEmpty() && QFileInfo(url.path()).isFile());
    if (!openNow && !AboutServices().InternetConnected()) {
        if (!AskYesNo(parent, TMessageKind::Question, QString::fromUtf8(strings::NotConnected))) {
            return false;
        }
    }
    const QString opened = AddressWithoutFragment(address);
    if (!AboutServices().OpenAddress(QUrl(opened))) {
        // Nothing took the address (no browser, no opener): said, with the
        // address, so the user can open it by other means.
        ShowWarning(parent, TranslateMessage(QString::fromUtf8(strings::NoOpener)).arg(opened));
        return false;
    }
    return true;
}

TFormAboutBox::TFormAboutBox(QWidget* parent, const std::string& programDir)
    : QDialog(parent), UiForm(std::make_unique<Ui::TFormAboutBox>()) {
    UiForm->setupUi(this);
    TranslateWindow(this);
    FillTexts(programDir);
}

TFormAboutBox::~TFormAboutBox() = default;

void TFormAboutBox::FillTexts(const std::string& programDir) {
    Ui::TFormAboutBox& ui = *UiForm;
    ui.ProgramIcon->setPixmap(AppIcon().pixmap(32, 32));
    // The version resource where the program has one (Windows), else the same
    // texts compiled in.
    platform::TVersionResource version{ProgramVersion, ProgramComments, ProgramCopyright, {}};
    if (const std::optional<platform::TVersionResource> resource =
            platform::ReadVersionResource()) {
        version = *resource;
    }
    ui.PanelTitle->setText(TranslatedTitle() + QLatin1Char(' ') +
                           QString::fromStdString(platform::VersionText(version)));
    ui.LabelComments->setText(QString::fromStdString(version.Comments));
    ui.LabelZoneRules->setText(
        QString::fromStdString(ZoneRulesLine(kiv::ZoneDB, [](std::string_view english) {
            return TranslateMessage(
                       QString::fromUtf8(english.data(), static_cast<int>(english.size())))
                .toStdString();
        })));
    ui.LabelCopyright->setText(QString::fromStdString(version.LegalCopyright));

    const QString address = HomePageAddress(programDir);
    ui.LabelHomePage->setText(address);
    QPalette palette = ui.LabelHomePage->palette();
    palette.setColor(QPalette::WindowText, QColor(0, 0, 255));
    ui.LabelHomePage->setPalette(palette);
    QFont linkFont = ui.LabelHomePage->font();
    linkFont.setBold(true);
    linkFont.setUnderline(true);
    ui.LabelHomePage->setFont(linkFont);
    ui.LabelHomePage->setCursor(Qt::PointingHandCursor);
    ui.LabelHomePage->setToolTip(QLatin1Char('[') + address + QLatin1Char(']'));
    ui.LabelHomePage->installEventFilter(this);

    // The notice keeps its own line breaks: a fixed font, 80 columns wide.
    const QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    ui.MemoLegal->setFont(fixed);
    ui.MemoLegal->setMinimumWidth(QFontMetrics(fixed).horizontalAdvance(QString(80, u'x')) +
                                  ui.MemoLegal->verticalScrollBar()->sizeHint().width() +
                                  2 * ui.MemoLegal->frameWidth() + 8);
    ui.MemoLegal->setPlainText(LegalNotice());

    // The row label names the running system where the text has a place for it.
    if (ui.LabelPhysMem->text().contains(QStringLiteral("%1"))) {
        ui.LabelPhysMem->setText(ui.LabelPhysMem->text().arg(platform::SystemName()));
    }
    const platform::TMemoryStatus memory = AboutServices().MemoryStatus();
    ui.LabelTotalPhys->setText(FormatTotalPhys(memory.TotalPhys));
    ui.LabelMemoryLoad->setText(QString::number(memory.MemoryLoad) +
                                TranslateMessage(QString::fromUtf8(strings::PercentUsed)));

    setWindowTitle(TranslateMessage(QString::fromUtf8(strings::About)) + QLatin1Char(' ') +
                   ui.PanelTitle->text());
}

int TFormAboutBox::Execute(QWidget* parent, const std::function<int(QDialog&)>& showModal) {
    const std::unique_ptr<TFormAboutBox> box = std::make_unique<TFormAboutBox>(parent);
    return showModal(*box);
}

void TFormAboutBox::LabelHomePageClick() {
    OpenHomePage(UiForm->LabelHomePage->text(), this);
}

bool TFormAboutBox::eventFilter(QObject* watched, QEvent* event) {
    if (watched == UiForm->LabelHomePage && event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        LabelHomePageClick();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

} // namespace app
