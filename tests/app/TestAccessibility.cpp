// The window as a screen reader meets it: its accessibility tree holds every
// row's, the clock line's and every status panel's text in words, and every
// control of the window and its dialogs has a name.
#include "AppTestSupport.h"

#include "app/moment/ZoneTexts.h"

#include <QAccessible>
#include <QAccessibleActionInterface>
#include <QRegularExpression>

#include <algorithm>

using namespace apptest;

namespace {

struct TNode {
    QAccessible::Role Role;
    QString Name;
    QString Description;
    QString ObjectName;
    bool Invisible;
};

void Walk(QAccessibleInterface* node, QList<TNode>& into, int depth = 0) {
    if (node == nullptr || !node->isValid() || depth > 40) {
        return;
    }
    const QObject* object = node->object();
    into.append({node->role(), node->text(QAccessible::Name), node->text(QAccessible::Description),
                 object != nullptr ? object->objectName() : QString(),
                 node->state().invisible != 0});
    for (int i = 0; i < node->childCount(); ++i) {
        Walk(node->child(i), into, depth + 1);
    }
}

QList<TNode> Tree(QWidget* root) {
    QList<TNode> nodes;
    Walk(QAccessible::queryAccessibleInterface(root), nodes);
    return nodes;
}

const TNode* Named(const QList<TNode>& nodes, const QString& name) {
    for (const TNode& node : nodes) {
        if (node.Name == name) {
            return &node;
        }
    }
    return nullptr;
}

// The roles a user acts on, which must say what they are: hidden ones too, as
// a screen reader lists them.
bool IsControl(QAccessible::Role role) {
    static const QList<QAccessible::Role> controls = {
        QAccessible::PushButton, QAccessible::CheckBox,     QAccessible::RadioButton,
        QAccessible::ComboBox,   QAccessible::EditableText, QAccessible::SpinBox,
        QAccessible::Slider,     QAccessible::ButtonMenu,   QAccessible::ButtonDropDown,
        QAccessible::ListItem,   QAccessible::PageTab};
    return controls.contains(role);
}

QStringList Unnamed(const QList<TNode>& nodes) {
    QStringList unnamed;
    for (const TNode& node : nodes) {
        if (IsControl(node.Role) && node.Name.trimmed().isEmpty()) {
            unnamed << QStringLiteral("%1 (role %2)").arg(node.ObjectName).arg(int(node.Role));
        }
    }
    return unnamed;
}

} // namespace

class TestAccessibility : public QObject, public TWindowFixture {
    Q_OBJECT

    // The made-up world's three places listed, the clock line shown and the
    // pointer over Berlin.
    void OpenListedWindow() {
        QVERIFY(OpenWindow());
        LocationsOf(*Form)->AddLocation(QStringLiteral("Melbourne, Australia"),
                                        QStringLiteral("Australia/Melbourne"), -37.81667,
                                        144.96667);
        LocationsOf(*Form)->AddLocation(QStringLiteral("Berlin, Germany"),
                                        QStringLiteral("Europe/Berlin"), 52.52, 13.405);
        LocationsOf(*Form)->AddLocation(QStringLiteral("Kolkata, India"),
                                        QStringLiteral("Asia/Kolkata"), 22.57, 88.36);
        QVERIFY(TriggerAction(Form.get(), "ShowClock"));
        for (int i = 0; i < 10; ++i) {
            QCoreApplication::processEvents();
        }
        RunTick(*Form);
        // The flight to the last row added ends, as pointer moves wait for it.
        PaintBoxOf(*Form)->TimerZoomTo->stop();
        const QPoint berlin = PaintBoxOf(*Form)->View.PlaceToView(52.5, 13.4);
        PaintBoxOf(*Form)->PanelPaintBoxMouseMove(Qt::NoButton, berlin.x(), berlin.y());
    }

private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedKingdom)); }
    void init() { StartFixture(); }
    void cleanup() { EndFixture(); }

    void treeReadsEveryRowAndPanel() {
        OpenListedWindow();
        const QList<TNode> nodes = Tree(Form.get());

        // The rows: list items of the list, read in words, described by the tooltip.
        const TNode* list = Named(nodes, QStringLiteral("Locations"));
        QVERIFY(list != nullptr);
        QCOMPARE(list->Role, QAccessible::List);
        const struct {
            const char* Spoken;
            const char* Tip;
        } rows[] = {
            {"Melbourne, Australia: 23:00, Monday 21 December, AEDT",
             "Australia/Melbourne, UTC+11 (AEDT)\n"},
            {"Berlin, Germany: 13:00, Monday 21 December, CET", "Europe/Berlin, UTC+1 (CET)\n"},
            {"Kolkata, India: 17:30, Monday 21 December, IST",
             "Asia/Kolkata, UTC+5:30 (IST)\nThe clocks keep one offset all year"},
        };
        for (const auto& row : rows) {
            const TNode* node = Named(nodes, QString::fromUtf8(row.Spoken));
            QVERIFY2(node != nullptr, row.Spoken);
            QCOMPARE(node->Role, QAccessible::ListItem);
            QVERIFY2(node->Description.startsWith(QString::fromUtf8(row.Tip)),
                     qPrintable(node->Description));
        }

        // The clock line shows the last row: its name, time and date.
        const TNode* clock = Named(nodes, QStringLiteral("Kolkata: 17:30, Monday 21 December"));
        QVERIFY(clock != nullptr);
        QVERIFY(clock->Description.startsWith(QStringLiteral("Asia/Kolkata, UTC+5:30 (IST)")));

        // Every status panel, its value in words.
        for (int panel = 0; panel < 8; ++panel) {
            const QString spoken = app::SpokenStatusText(panel, StatusText(*Form, panel));
            QVERIFY2(Named(nodes, spoken) != nullptr, qPrintable(spoken));
        }
        QVERIFY(Named(nodes, QStringLiteral("Standard time: 13:00")) != nullptr);
        QVERIFY(Named(nodes, QStringLiteral("UTC offset: +1")) != nullptr);
        // The icon-only buttons and the map say what they are.
        for (const char* name : {"Zoom Into Location", "Zoom out from location", "Add New Location",
                                 "Options", "About", "World map"}) {
            QVERIFY2(Named(nodes, QString::fromUtf8(name)) != nullptr, name);
        }
        QCOMPARE(Unnamed(nodes), QStringList());

        // A row reads the pieces it shows.
        DisplayOf(*Form).ShowDate = false;
        DisplayOf(*Form).ShowZA = false;
        DisplayOf(*Form).ShowSA = true;
        RunTick(*Form);
        const QList<TNode> sun = Tree(Form.get());
        QVERIFY(Named(sun, QStringLiteral("Melbourne, Australia: 23:00, Night")) != nullptr);
        const QRegularExpression angle(
            QStringLiteral("^Berlin, Germany: 13:00, sun angle \\d\\d\\.\\d degrees$"));
        QVERIFY(std::any_of(sun.begin(), sun.end(),
                            [&](const TNode& node) { return angle.match(node.Name).hasMatch(); }));
    }

    // The window reads its title as it starts (minimised or shown), minimised
    // or restored later, and after the title changed (as a translation changes
    // it).
    void windowIsNamedByItsTitle_data() {
        QTest::addColumn<bool>("minimised");
        QTest::newRow("started minimised") << true;
        QTest::newRow("started shown") << false;
    }
    void windowIsNamedByItsTitle() {
        QFETCH(bool, minimised);
        app::TStartOptions options;
        options.Max = true;
        options.ProgramDir = World->ProgramDir();
        options.Desktop = Desktop;
        options.TrayHost = TrayHost;
        Form = std::make_unique<app::TFormChronara>(options);
        if (minimised) {
            Form->showMinimized();
        } else {
            Form->show();
        }
        QTRY_VERIFY(Activated(*Form));
        TimerOf(*Form)->stop();
        QCOMPARE(Form->isMinimized(), minimised);
        const auto name = [this] {
            return QAccessible::queryAccessibleInterface(Form.get())->text(QAccessible::Name);
        };
        QCOMPARE(name(), QStringLiteral("Chronara"));
        if (minimised) {
            Form->showNormal();
        } else {
            Form->showMinimized();
        }
        QCOMPARE(name(), QStringLiteral("Chronara"));
        Form->setWindowTitle(QStringLiteral("Chronara (translated)"));
        QCOMPARE(name(), QStringLiteral("Chronara (translated)"));
        Form->setWindowState(Form->windowState() ^ Qt::WindowMinimized);
        QCOMPARE(name(), QStringLiteral("Chronara (translated)"));
    }

    // Every part of the window, the program's own rows and panels included,
    // places itself where its widget is on the screen, in the toolkit's
    // device-independent pixels, also when the toolkit scales (ctest runs this
    // once more with QT_SCALE_FACTOR=2). That a screen reader then reads these
    // positions unscaled is the toolkit's AT-SPI bridge (see the README).
    void partsArePlacedWhereTheirWidgetsAre() {
        OpenListedWindow();
        const double scale = qEnvironmentVariableIsSet("QT_SCALE_FACTOR")
                                 ? qEnvironmentVariable("QT_SCALE_FACTOR").toDouble()
                                 : 1.0;
        QCOMPARE(Form->devicePixelRatio(), scale);
        int placed = 0;
        std::function<void(QAccessibleInterface*)> check = [&](QAccessibleInterface* node) {
            auto* widget = qobject_cast<QWidget*>(node->object());
            if (widget != nullptr && widget->isVisible()) {
                const QRect expected(widget->mapToGlobal(QPoint(0, 0)), widget->size());
                QVERIFY2(node->rect() == expected,
                         qPrintable(QStringLiteral("%1 at %2,%3, its widget at %4,%5")
                                        .arg(widget->objectName())
                                        .arg(node->rect().x())
                                        .arg(node->rect().y())
                                        .arg(expected.x())
                                        .arg(expected.y())));
                ++placed;
            }
            for (int i = 0; i < node->childCount(); ++i) {
                check(node->child(i));
            }
        };
        check(QAccessible::queryAccessibleInterface(Form.get()));
        QVERIFY(placed > 20);
    }

    // Pressing a row selects it, and the row says so.
    void pressingARowSelectsIt() {
        OpenListedWindow();
        app::TLocationRow* row = LocationsOf(*Form)->Entries().front().RowShape;
        QAccessibleInterface* item = QAccessible::queryAccessibleInterface(row);
        QVERIFY(item != nullptr);
        QVERIFY(!item->state().selected);
        QAccessibleActionInterface* actions = item->actionInterface();
        QVERIFY(actions != nullptr);
        actions->doAction(QAccessibleActionInterface::pressAction());
        QVERIFY(LocationsOf(*Form)->Entries().front().Selected);
        QVERIFY(item->state().selected);
        QVERIFY(item->state().selectable);
    }

    // The dialogs' controls are named too, as they show.
    void dialogsNameTheirControls() {
        QVERIFY(OpenWindow());
        for (const char* name : {"Toptions", "Wizard1", "Wizard2"}) {
            auto* dialog = Form->findChild<QDialog*>(QLatin1String(name));
            QVERIFY2(dialog != nullptr, name);
            dialog->show();
            QCoreApplication::processEvents();
            const QList<TNode> nodes = Tree(dialog);
            dialog->hide();
            QVERIFY2(nodes.size() > 5, name);
            QCOMPARE(Unnamed(nodes), QStringList());
        }
    }
};

QTEST_MAIN(TestAccessibility)
#include "TestAccessibility.moc"
