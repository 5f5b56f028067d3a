// Errors of work that repeats by itself (the map rebuild after every shadow
// refresh): each is shown once, and again only after the work has succeeded
// in between, so a damaged file does not bring up a box at every refresh.
#pragma once

#include <QString>

namespace app {

class TRepeatedErrors {
public:
    // True when the error differs from the last one shown: show it now.
    bool IsNew(const QString& text) {
        if (text == Last) {
            return false;
        }
        Last = text;
        return true;
    }
    // The work succeeded: the next error is new again.
    void Succeeded() { Last.clear(); }

private:
    QString Last;
};

} // namespace app
