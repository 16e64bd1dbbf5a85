// ContextToken: a shared liveness flag of a GlContext. The context holds the first reference and
// sets the flag false in its destructor; every GL wrapper keeps a copy and makes no GL call once
// the flag is false. Copies share one flag. Main thread.
#pragma once

#include <memory>

namespace orvex {

class ContextToken {
public:
    ContextToken() : state(std::make_shared<bool>(true)) {}
    bool alive() const { return state && *state; }
    void kill() { *state = false; }

private:
    std::shared_ptr<bool> state;
};

} // namespace orvex
