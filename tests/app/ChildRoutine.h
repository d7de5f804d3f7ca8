#pragma once

// Routines a test runs in a process of its own (killed mid-write, or on a session bus of its own): the
// test binary runs one when started as `<binary> --child NAME [ARGUMENT]`, instead of the tests.
#include <map>
#include <string>

namespace TestSupport {

using ChildRoutine = int (*)(const std::string& argument);

inline std::map<std::string, ChildRoutine>& childRoutines() {
    static std::map<std::string, ChildRoutine> routines;
    return routines;
}

struct ChildRoutineRegistration {
    ChildRoutineRegistration(const char* name, ChildRoutine routine) { childRoutines()[name] = routine; }
};

}  // namespace TestSupport

// Defines a child routine NAME taking `argument`; it returns the process's exit code.
#define TIDEMARK_CHILD_ROUTINE(NAME)                                                                  \
    static int childRoutine_##NAME(const std::string& argument);                                      \
    static const TestSupport::ChildRoutineRegistration childRegistration_##NAME(#NAME, childRoutine_##NAME); \
    static int childRoutine_##NAME([[maybe_unused]] const std::string& argument)
