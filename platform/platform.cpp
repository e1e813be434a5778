#include "platform/platform.h"

namespace platform {
namespace {
Platform* installed = nullptr;
}

Platform& currentPlatform() { return *installed; }

void setPlatform(Platform* platform) { installed = platform; }

}  // namespace platform
