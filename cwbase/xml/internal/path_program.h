// The compiled form of an XML path (CWXMLPath, xmlpath.h): its steps, their
// predicates and the strings they name, as plain records, and the compiler
// and the selection over them.
//
// Contract
// - CompilePath reads the zero-terminated `path` once, left to right, and on
//   success fills `program` (absolute flag, steps, predicates, strings) and
//   returns 0; on a fault it returns -1 and sets `error` (code, offset,
//   message). May throw std::bad_alloc.
// - SelectPath runs `program` from `context` (not null) and appends the
//   matches to `out` in document order, each once. May throw std::bad_alloc.
// - A name or value is an offset into `strings`, where it stands
//   zero-terminated; kNoName stands for "*" (any named element).
// Threads: re-entrant; SelectPath reads the program and the tree only.
#pragma once

#include <vector>

#include "cwbase/xml/xmlpath.h"

namespace cwbase_internal {

// What a step moves to.
enum PathAxis : int {
  kAxisChild = 0,             // child elements passing the name test
  kAxisSelf = 1,              // "."
  kAxisParent = 2,            // ".."
  kAxisDescendantOrSelf = 3,  // "//": the node and every element below it
  kAxisAttribute = 4,         // "@name" / "@*", the last step only
};

// What a predicate checks.
enum PathTest : int {
  kTestHasAttribute = 0,    // [@a]
  kTestAttributeValue = 1,  // [@a='v']
  kTestHasChild = 2,        // [name]
  kTestChildValue = 3,      // [name='v']
  kTestPosition = 4,        // [n]
};

constexpr long kNoName = -1;

struct PathStep {
  int axis;            // PathAxis
  long name;           // child and attribute steps: offset of the name, or kNoName for "*"
  int firstPredicate;  // index of its first predicate
  int predicateCount;  // how many follow it
};

struct PathPredicate {
  int test;       // PathTest
  long name;      // offset of the attribute's or child's name
  long value;     // offset of the value (the two value tests)
  long position;  // kTestPosition: from 1
};

struct PathProgram {
  bool absolute = false;
  std::vector<PathStep> steps;
  std::vector<PathPredicate> predicates;
  std::vector<wchar_t> strings;
};

int CompilePath(const wchar_t* path, PathProgram& program, SWXMLPathError& error);

void SelectPath(const PathStep* steps, int stepCount, const PathPredicate* predicates,
                const wchar_t* strings, bool absolute, CWXMLNode* context,
                std::vector<SWXMLMatch>& out);

}  // namespace cwbase_internal
