#include "bridge/module_count.h"

#include <atomic>

namespace mto::com {

namespace {
std::atomic<long> objects{0};
std::atomic<long> locks{0};
}  // namespace

long liveObjects() noexcept { return objects.load(); }
long serverLocks() noexcept { return locks.load(); }
void lockServer(bool lock) noexcept { lock ? ++locks : --locks; }

CountedObject::CountedObject() noexcept { ++objects; }
CountedObject::~CountedObject() { --objects; }

}  // namespace mto::com
