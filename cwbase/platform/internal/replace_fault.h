// A failure injected into ReplaceFileContent, so that tests can make each of
// its steps fail part-way on any machine (permission tricks do not fail for
// root). Private to the library and its tests.
#pragma once

namespace cwbase_internal {

// The steps of ReplaceFileContent, in order.
enum class ReplaceStep {
  kCreate,  // creating the temporary file
  kWrite,   // each write of a piece of at most kReplacePiece bytes
  kSync,    // fsync of the temporary file
  kClose,   // closing it
  kRename,  // renaming it over the target
};

// The most one write call of ReplaceFileContent takes.
constexpr unsigned long kReplacePiece = 64 * 1024;

// Called before each step on the thread that set it; a nonzero answer makes
// that step fail with that errno without running it, as if the system had
// answered so (pieces written before stay in the temporary file).
using ReplaceFault = int (*)(ReplaceStep step, void* context);

// Sets the hook of the calling thread (null: none, the default).
void SetReplaceFault(ReplaceFault fault, void* context);

}  // namespace cwbase_internal
