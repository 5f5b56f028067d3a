// The About box: the program's title and version, its comment and copyright,
// a link to its home page, the legal notice and two figures of the machine's
// memory. Created for each showing and destroyed when it closes.
#pragma once

#include "platform/MemoryStatus.h"

#include <QDialog>
#include <QLocale>
#include <QString>

#include <cstdint>
#include <functional>
#include <memory>

class QUrl;

namespace Ui {
class TFormAboutBox;
}

namespace app {

// The operating-system services the box calls on; tests replace them.
struct TAboutServices {
    std::function<platform::TMemoryStatus()> MemoryStatus;
    std::function<bool()> InternetConnected;
    std::function<bool(const QUrl&)> OpenAddress;
};
TAboutServices& AboutServices();

// The total memory in kilobytes, taken up to the next whole kilobyte, with the
// locale's thousands separators, then "KB".
QString FormatTotalPhys(std::uint64_t bytes, const QLocale& locale = QLocale());
// The address up to its first "#".
QString AddressWithoutFragment(const QString& address);
// The home page: the one the installer recorded (Windows), else the build's,
// else the installed documentation as a file address (which works without a
// network).
QString HomePageAddress(const std::string& programDir = {});
// Opens the address as a click on the link does: other schemes than http(s),
// and http addresses of existing local files, at once; web addresses only
// after asking when the machine is offline. True when it was handed on; when
// nothing could take it, a warning names the address.
bool OpenHomePage(const QString& address, QWidget* parent);

class TFormAboutBox : public QDialog {
    Q_OBJECT
public:
    explicit TFormAboutBox(QWidget* parent = nullptr, const std::string& programDir = {});
    ~TFormAboutBox() override;

    // Creates the box, shows it modally through `showModal` and destroys it.
    static int Execute(QWidget* parent, const std::function<int(QDialog&)>& showModal);

    void LabelHomePageClick();

    std::unique_ptr<Ui::TFormAboutBox> UiForm;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void FillTexts(const std::string& programDir);
};

} // namespace app
