// Windows: the notification area is always there.
#if defined(_WIN32)
#include "platform/TrayHost.h"

namespace platform {

struct TTrayHost::TWatch {};

TTrayHost::TTrayHost(const TWhere& /*where*/, QObject* parent)
    : QObject(parent), Watch(std::make_unique<TWatch>()), WasPresent(true) {}

TTrayHost::~TTrayHost() = default;

bool TTrayHost::Present() const {
    return true;
}

void TTrayHost::Recheck() {}

} // namespace platform

#endif // _WIN32
