#include "activity/ChangeWatch.h"

namespace brimlet {

// Platforms without change notices wired up here: nothing is watched, every answer comes from
// the file system.
struct ChangeWatch::Watches {};

ChangeWatch::ChangeWatch() : watches_(std::make_unique<Watches>()) {}
ChangeWatch::~ChangeWatch() = default;

bool ChangeWatch::watch(const std::string&) {
    return false;
}

ChangeWatch::Notices ChangeWatch::collect() {
    return {};
}

}  // namespace brimlet
