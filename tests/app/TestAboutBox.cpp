// The About box and the translation walk, offscreen: the texts it shows, its
// home-page link (with the browser and the network state replaced), and how a
// window's components take their translations.
#include "AppTestSupport.h"

#include "app/dialogs/AboutBox.h"
#include "app/text/Translation.h"

#include <QComboBox>
#include <QLabel>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryFile>
#include <QTreeWidget>
#include <QUrl>

using namespace apptest;
using app::TFormAboutBox;

namespace {

kiv::TLangTable Table(const std::string& text) {
    kiv::TLangTable table;
    table.Parse(text);
    return table;
}

// Replaces the box's services for one test: a fixed memory status, a chosen
// network state, and a recorder in place of the browser.
struct TFakeServices {
    explicit TFakeServices(bool online) {
        Saved = app::AboutServices();
        app::AboutServices().MemoryStatus = [] {
            return platform::TMemoryStatus{std::uint64_t{2} << 30, 42};
        };
        app::AboutServices().InternetConnected = [online] { return online; };
        app::AboutServices().OpenAddress = [this](const QUrl& url) {
            Opened.push_back(url.toString());
            return true;
        };
    }
    ~TFakeServices() { app::AboutServices() = Saved; }
    QStringList Opened;
    app::TAboutServices Saved;
};

QString LabelText(QWidget* box, const char* name) {
    auto* label = box->findChild<QLabel*>(QLatin1String(name));
    return label != nullptr ? label->text() : QStringLiteral("<no %1>").arg(QLatin1String(name));
}

// A small window with one of each kind of component the walk translates.
class TSampleForm : public QDialog {
    Q_OBJECT
public:
    TSampleForm() {
        setWindowTitle(QStringLiteral("Sample"));
        auto* label = new QLabel(QStringLiteral("Caption"), this);
        label->setObjectName(QStringLiteral("Label"));
        label->setToolTip(QStringLiteral("Hint"));
        auto* combo = new QComboBox(this);
        combo->setObjectName(QStringLiteral("Combo"));
        combo->addItems({QStringLiteral("One"), QStringLiteral("Two")});
        combo->setCurrentIndex(1);
        auto* tabs = new QTabWidget(this);
        tabs->setObjectName(QStringLiteral("Tabs"));
        tabs->addTab(new QWidget, QStringLiteral("Page"));
        auto* tree = new QTreeWidget(this);
        tree->setObjectName(QStringLiteral("List"));
        tree->setHeaderLabels({QStringLiteral("Name"), QStringLiteral("Time")});
        auto* menu = new QMenu(this);
        auto* item = menu->addAction(QStringLiteral("E&xit"));
        item->setObjectName(QStringLiteral("Item"));
        auto* hinted = new QAction(QStringLiteral("Zoom"), this);
        hinted->setObjectName(QStringLiteral("Hinted"));
        hinted->setToolTip(QStringLiteral("Zoom in"));
        auto* inner = new QDialog(this);
        auto* innerLabel = new QLabel(QStringLiteral("Caption"), inner);
        innerLabel->setObjectName(QStringLiteral("InnerLabel"));
    }
};

} // namespace

class TestAboutBox : public QObject, public TWindowFixture {
    Q_OBJECT

private slots:
    void cleanup() {
        EndFixture();
        app::SetLangTable({});
    }

    void AboutCommandsOpenAFreshBoxEachTime() {
        StartFixture();
        QVERIFY(OpenWindow());
        TFakeServices services(true);
        QList<QPointer<QDialog>> boxes;
        QStringList classes;
        Form->SetShowModal([&](QDialog& box) {
            boxes.append(&box);
            classes.append(app::SectionOf(&box));
            return int(QDialog::Accepted);
        });
        for (const char* command : {"PIAbout", "MIAbout", "TBAbout"}) {
            QVERIFY2(TriggerAction(Form.get(), command), command);
        }
        QCOMPARE(classes, QStringList(3, QStringLiteral("TFormAboutBox")));
        for (const QPointer<QDialog>& box : boxes) {
            QVERIFY(box.isNull()); // destroyed when it closed
        }
    }

    void TotalMemoryRoundsUpWithThousandsSeparators_data() {
        QTest::addColumn<quint64>("bytes");
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QString>("shown");
        QTest::newRow("2 GB") << (quint64{2} << 30) << "en_US"
                              << "2,097,152KB";
        QTest::newRow("one byte over") << ((quint64{2} << 30) + 1) << "en_US"
                                       << "2,097,153KB";
        QTest::newRow("under 1 KB") << quint64{1} << "en_US"
                                    << "1KB";
        QTest::newRow("German") << (quint64{2} << 30) << "de_DE"
                                << "2.097.152KB";
        QTest::newRow("C locale groups too") << (quint64{2} << 30) << "C"
                                             << "2,097,152KB";
        QTest::newRow("nothing") << quint64{0} << "en_US"
                                 << "0KB";
    }
    void TotalMemoryRoundsUpWithThousandsSeparators() {
        QFETCH(quint64, bytes);
        QFETCH(QString, locale);
        QFETCH(QString, shown);
        QCOMPARE(app::FormatTotalPhys(bytes, QLocale(locale)), shown);
    }

    void BoxShowsProgramAndMemory() {
        TFakeServices services(true);
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        TFormAboutBox box;
        const QString title = LabelText(&box, "PanelTitle");
        QVERIFY(title.startsWith(QStringLiteral("Chronara ")));
        QCOMPARE(box.windowTitle(), QStringLiteral("About ") + title);
        QVERIFY(!LabelText(&box, "LabelCopyright").isEmpty());
        QCOMPARE(LabelText(&box, "LabelTotalPhys"), QStringLiteral("2,097,152KB"));
        QCOMPARE(LabelText(&box, "LabelMemoryLoad"), QStringLiteral("42% Used"));
        QVERIFY(!LabelText(&box, "LabelPhysMem").contains(QLatin1Char('%')));
        auto* link = box.findChild<QLabel*>(QStringLiteral("LabelHomePage"));
        QVERIFY(link != nullptr);
        QCOMPARE(link->toolTip(), QLatin1Char('[') + link->text() + QLatin1Char(']'));
        QVERIFY(link->font().underline());
        // Without a home page from the build the link is a file address.
        QVERIFY(link->text().startsWith(QStringLiteral("file:")) ||
                link->text().startsWith(QStringLiteral("http")));
        // The legal notice carries the credits the shipped data requires.
        const QString notice =
            box.findChild<QPlainTextEdit*>(QStringLiteral("MemoLegal"))->toPlainText();
        for (const char* credit : {"GeoNames", "NASA", "Natural Earth", "OpenStreetMap",
                                   "Michael Bostock", "Evan Siroky", "ODbL"}) {
            QVERIFY2(notice.contains(QLatin1String(credit)), credit);
        }
        QLocale::setDefault(QLocale::system());
    }

    void BoxIsCreatedPerShowingAndDestroyed() {
        TFakeServices services(true);
        QWidget parent;
        QPointer<QDialog> seen;
        for (int n = 0; n < 2; ++n) {
            QString name;
            qsizetype boxes = 0;
            const int result = TFormAboutBox::Execute(&parent, [&](QDialog& box) {
                name = box.objectName();
                boxes = parent.findChildren<TFormAboutBox*>().size();
                seen = &box;
                return int(QDialog::Accepted);
            });
            QCOMPARE(name, QStringLiteral("TFormAboutBox"));
            QCOMPARE(boxes, qsizetype(1));
            QCOMPARE(result, int(QDialog::Accepted));
            QVERIFY(seen.isNull());
        }
        QVERIFY(parent.findChildren<TFormAboutBox*>().isEmpty());
    }

    void LinkOpensWithoutFragment_data() {
        QTest::addColumn<QString>("address");
        QTest::addColumn<bool>("online");
        QTest::addColumn<QString>("opened");
        QTest::newRow("web, fragment")
            << "http://example.org/a.html#part" << true << "http://example.org/a.html";
        QTest::newRow("web, no fragment")
            << "https://example.org/" << true << "https://example.org/";
        QTest::newRow("file, offline")
            << "file:///usr/share/doc/x.html#top" << false << "file:///usr/share/doc/x.html";
        QTest::newRow("other scheme, offline")
            << "mailto:someone@example.org" << false << "mailto:someone@example.org";
        QTest::newRow("empty fragment") << "HTTP://example.org/#" << true << "http://example.org/";
    }
    void LinkOpensWithoutFragment() {
        QFETCH(QString, address);
        QFETCH(bool, online);
        QFETCH(QString, opened);
        TFakeServices services(online);
        TMessageRecorder messages(QMessageBox::No);
        QVERIFY(app::OpenHomePage(address, nullptr));
        QCOMPARE(services.Opened, QStringList{opened});
        QVERIFY(messages.Texts.isEmpty());
    }

    void OfflineQuestionDecides_data() {
        QTest::addColumn<int>("answer");
        QTest::addColumn<int>("opened");
        QTest::newRow("No opens nothing") << int(QMessageBox::No) << 0;
        QTest::newRow("Yes opens") << int(QMessageBox::Yes) << 1;
    }
    void OfflineQuestionDecides() {
        QFETCH(int, answer);
        QFETCH(int, opened);
        TFakeServices services(false);
        TMessageRecorder messages(static_cast<QMessageBox::StandardButton>(answer));
        TFormAboutBox box;
        auto* link = box.findChild<QLabel*>(QStringLiteral("LabelHomePage"));
        link->setText(QStringLiteral("http://example.org/chronara#about"));
        QTest::mouseClick(link, Qt::LeftButton);
        QCOMPARE(messages.Texts,
                 QStringList{QStringLiteral("You don't seem to be connected to the internet. "
                                            "Do you wish to connect now?")});
        QCOMPARE(messages.Kinds.front(), app::TMessageKind::Question);
        QCOMPARE(services.Opened.size(), qsizetype(opened));
    }

    // Where nothing takes the link's address, a click on it says so and names
    // the address. The real opening service is used: the offscreen display
    // opens nothing, and with an empty path no browser could start either.
    void LinkWithoutAnOpenerIsReported_data() {
        QTest::addColumn<QString>("address");
        QTest::newRow("web") << "https://example.org/chronara#about";
        QTest::newRow("file") << "file:///usr/share/doc/chronara/README.md";
    }
    void LinkWithoutAnOpenerIsReported() {
        QFETCH(QString, address);
        TFakeServices services(true);
        app::AboutServices().OpenAddress = services.Saved.OpenAddress;
        QTemporaryDir empty;
        const QByteArray path = qgetenv("PATH");
        const QByteArray browser = qgetenv("BROWSER");
        qputenv("PATH", QFile::encodeName(empty.path()));
        qunsetenv("BROWSER");
        TMessageRecorder messages;
        TFormAboutBox box;
        auto* link = box.findChild<QLabel*>(QStringLiteral("LabelHomePage"));
        link->setText(address);
        QTest::mouseClick(link, Qt::LeftButton);
        qputenv("PATH", path);
        if (!browser.isEmpty()) {
            qputenv("BROWSER", browser);
        }
        const QString shown = app::AddressWithoutFragment(address);
        QCOMPARE(messages.Texts, QStringList{QStringLiteral("There is no program on this "
                                                            "computer to open %1.")
                                                 .arg(shown)});
        QCOMPARE(messages.Kinds.front(), app::TMessageKind::Warning);
    }

    void HttpAddressOfALocalFileOpensOffline() {
        TFakeServices services(false);
        TMessageRecorder messages(QMessageBox::No);
        QTemporaryFile file;
        QVERIFY(file.open());
        QVERIFY(app::OpenHomePage(QStringLiteral("http://") + file.fileName(), nullptr));
        QVERIFY(messages.Texts.isEmpty());
    }

    void WalkTranslatesEveryKindOfComponent() {
        app::SetLangTable(Table("<//TSampleForm-->\n"
                                "E=Sample\nT=Probe\nE=caption\nT=Beschriftung\nE=Hint\nT=Tipp\n"
                                "E=One\nT=Eins\nE=Two\nT=Zwei\nE=Page\nT=Seite\n"
                                "E=Name\nT=Name\nE=Time\nT=Zeit\nE=E&xit\nT=&Beenden\n"
                                "E=Zoom\nT=Vergr\xc3\xb6\xc3\x9f"
                                "ern\nE=Zoom in\nT=Hinein\n"));
        TSampleForm form;
        app::TranslateWindow(&form);
        QCOMPARE(form.windowTitle(), QStringLiteral("Probe"));
        QCOMPARE(LabelText(&form, "Label"), QStringLiteral("Beschriftung"));
        QCOMPARE(form.findChild<QLabel*>(QStringLiteral("Label"))->toolTip(),
                 QStringLiteral("Tipp"));
        auto* combo = form.findChild<QComboBox*>(QStringLiteral("Combo"));
        QCOMPARE(combo->itemText(0), QStringLiteral("Eins"));
        QCOMPARE(combo->currentIndex(), 1);
        QCOMPARE(combo->currentText(), QStringLiteral("Zwei"));
        QCOMPARE(form.findChild<QTabWidget*>(QStringLiteral("Tabs"))->tabText(0),
                 QStringLiteral("Seite"));
        QCOMPARE(form.findChild<QTreeWidget*>(QStringLiteral("List"))->headerItem()->text(1),
                 QStringLiteral("Zeit"));
        auto* item = FindAction(&form, "Item");
        QCOMPARE(item->text(), QStringLiteral("&Beenden"));
        QCOMPARE(item->toolTip(), QStringLiteral("Beenden")); // follows the caption
        auto* hinted = FindAction(&form, "Hinted");
        QCOMPARE(hinted->text(), QStringLiteral("Vergr\u00f6\u00dfern"));
        QCOMPARE(hinted->toolTip(), QStringLiteral("Hinein"));
        // A dialog among the children is a window of its own: not this section.
        QCOMPARE(LabelText(&form, "InnerLabel"), QStringLiteral("Caption"));
    }

    void SectionIsTheOwningWindowsClass() {
        TSampleForm sample;
        QCOMPARE(app::SectionOf(&sample), QStringLiteral("TSampleForm"));
        TFakeServices services(true);
        TFormAboutBox box;
        QCOMPARE(app::SectionOf(&box), QStringLiteral("TFormAboutBox"));
        app::SetLangTable(Table("<//TFormChronara-->\nE=About\nT=Falsch\n"
                                "<//TFormAboutBox-->\nE=Memory usage:\nT=Speicherauslastung:\n"
                                "<//STRING_TABLE-->\nE=About\nT=Info\nE=% Used\nT=% belegt\n"
                                "<//Application-->\nE=Chronara\nT=Chronara DE\n"));
        TFormAboutBox translated;
        QCOMPARE(LabelText(&translated, "LabelMemUsage"), QStringLiteral("Speicherauslastung:"));
        QCOMPARE(LabelText(&translated, "LabelMemoryLoad"), QStringLiteral("42% belegt"));
        QVERIFY(LabelText(&translated, "PanelTitle").startsWith(QStringLiteral("Chronara DE ")));
        QVERIFY(translated.windowTitle().startsWith(QStringLiteral("Info Chronara DE ")));
    }

    void LanguageFileBesideTheProgramComesFirst() {
        QTemporaryDir dir;
        const std::string root = dir.path().toStdString();
        QDir(dir.path()).mkpath(QStringLiteral("lang/de"));
        auto write = [](const QString& name, const QByteArray& text) {
            QFile f(name);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(text);
        };
        write(dir.path() + "/lang/de/lang.txt", "<//STRING_TABLE-->\nE=About\nT=Info\n");
        const QLocale german(QLocale::German, QLocale::Germany);
        QVERIFY(app::LoadLanguage(root, QLocale(QLocale::English)).empty());
        QCOMPARE(app::TranslateMessage(QStringLiteral("About")), QStringLiteral("About"));
        QVERIFY(!app::LoadLanguage(root, german).empty());
        QCOMPARE(app::TranslateMessage(QStringLiteral("About")), QStringLiteral("Info"));
        write(dir.path() + "/lang.txt", "<//STRING_TABLE-->\nE=About\nT=Om\n");
        QVERIFY(app::LoadLanguage(root, german).ends_with("lang.txt"));
        QCOMPARE(app::TranslateMessage(QStringLiteral("About")), QStringLiteral("Om"));
    }
};

QTEST_MAIN(TestAboutBox)
#include "TestAboutBox.moc"
