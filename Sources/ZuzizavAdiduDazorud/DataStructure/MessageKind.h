#pragma once

namespace ZuzizavAdiduDazorud {

// The base of a message kind's case that has no arguments: any two values of such a case are equal.
// Kinds are std::variants of their cases, each a small struct named after the case.
struct NoArguments {
    friend bool operator==(const NoArguments&, const NoArguments&) = default;
};

}  // namespace ZuzizavAdiduDazorud
