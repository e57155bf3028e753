// The compiler of XML paths: one pass over the text, left to right, with a
// message and an offset for the first fault it meets.
#include <climits>
#include <cwchar>

#include "cwbase/xml/internal/path_program.h"
#include "cwbase/xml/internal/xmlchars.h"

namespace cwbase_internal {
namespace {

const char* Message(int code) {
  switch (code) {
    case CWXML_PATH_ERROR_EMPTY:
      return "the path is empty";
    case CWXML_PATH_ERROR_EMPTY_STEP:
      return "empty step: a name, '*', '.', '..' or '@name' must follow '/'";
    case CWXML_PATH_ERROR_NAME:
      return "a name is expected here ('*' too in a step)";
    case CWXML_PATH_ERROR_UNCLOSED:
      return "predicate not closed: '[' has no matching ']'";
    case CWXML_PATH_ERROR_PREDICATE:
      return "bad predicate: expected [@a], [@a='v'], [name], [name='v'] or [n]";
    case CWXML_PATH_ERROR_POSITION:
      return "bad position: expected a whole number from 1 to 2147483647";
    case CWXML_PATH_ERROR_QUOTE:
      return "unterminated quote: the value has no closing quote";
    case CWXML_PATH_ERROR_ATTRIBUTE_NOT_LAST:
      return "an '@' step must be the last step and takes no predicate";
    case CWXML_PATH_ERROR_TRAILING:
      return "unexpected character after a step: expected '/', '[' or the end";
    case CWXML_PATH_ERROR_OUT_OF_MEMORY:
      return "out of memory";
    default:
      return "no error";
  }
}

bool IsSpace(wchar_t c) {
  return c == L' ' || c == L'\t' || c == L'\n' || c == L'\r';
}

class Compiler {
 public:
  Compiler(const wchar_t* path, PathProgram& program) : m_Path(path), m_Program(program) {}

  // 0, or -1 with m_Code and m_Offset set.
  int Run();
  int m_Code = CWXML_PATH_ERROR_NONE;
  long m_Offset = 0;

 private:
  int Fail(int code, long offset) {
    m_Code = code;
    m_Offset = offset;
    return -1;
  }
  // Reads an XML name at m_Pos into the string pool; -1 when none starts there.
  long Name();
  int Step();
  int Predicate();
  int Value(long& value);
  void SkipSpace() {
    while (IsSpace(m_Path[m_Pos])) ++m_Pos;
  }
  void AddStep(int axis, long name) {
    m_Program.steps.push_back({axis, name, static_cast<int>(m_Program.predicates.size()), 0});
  }

  const wchar_t* m_Path;
  PathProgram& m_Program;
  long m_Pos = 0;
};

long Compiler::Name() {
  if (!XmlIsNameStart(static_cast<uint32_t>(m_Path[m_Pos]))) return -1;
  const long at = static_cast<long>(m_Program.strings.size());
  do {
    m_Program.strings.push_back(m_Path[m_Pos++]);
  } while (XmlIsNameChar(static_cast<uint32_t>(m_Path[m_Pos])));
  m_Program.strings.push_back(L'\0');
  return at;
}

// A quoted value at m_Pos (the caller saw the quote).
int Compiler::Value(long& value) {
  const wchar_t quote = m_Path[m_Pos];
  const long open = m_Pos;
  const wchar_t* close = std::wcschr(m_Path + m_Pos + 1, quote);
  if (!close) return Fail(CWXML_PATH_ERROR_QUOTE, open);
  value = static_cast<long>(m_Program.strings.size());
  m_Program.strings.insert(m_Program.strings.end(), m_Path + m_Pos + 1, close);
  m_Program.strings.push_back(L'\0');
  m_Pos = static_cast<long>(close - m_Path) + 1;
  return 0;
}

// One predicate, m_Pos on its "[".
int Compiler::Predicate() {
  const long open = m_Pos++;
  SkipSpace();
  PathPredicate p = {kTestPosition, kNoName, kNoName, 0};
  const wchar_t c = m_Path[m_Pos];
  if (c == L'\0') return Fail(CWXML_PATH_ERROR_UNCLOSED, open);
  if ((c >= L'0' && c <= L'9') || c == L'-' || c == L'+') {
    const long start = m_Pos;
    long n = 0;
    bool ok = c != L'-' && c != L'+';
    for (; m_Path[m_Pos] >= L'0' && m_Path[m_Pos] <= L'9'; ++m_Pos) {
      n = n * 10 + (m_Path[m_Pos] - L'0');
      if (n > INT_MAX) {
        ok = false;
        n = INT_MAX;  // keeps the loop from overflowing; the fault is reported below
      }
    }
    SkipSpace();
    if (m_Path[m_Pos] == L'\0') return Fail(CWXML_PATH_ERROR_UNCLOSED, open);
    if (!ok || n == 0 || m_Path[m_Pos] != L']') return Fail(CWXML_PATH_ERROR_POSITION, start);
    p.position = n;
  } else {
    const bool attribute = c == L'@';
    if (attribute) ++m_Pos;
    const long nameAt = m_Pos;
    p.name = Name();
    if (p.name < 0)
      return Fail(attribute ? CWXML_PATH_ERROR_NAME : CWXML_PATH_ERROR_PREDICATE, nameAt);
    SkipSpace();
    p.test = attribute ? kTestHasAttribute : kTestHasChild;
    if (m_Path[m_Pos] == L'=') {
      ++m_Pos;
      SkipSpace();
      if (m_Path[m_Pos] == L'\0') return Fail(CWXML_PATH_ERROR_UNCLOSED, open);
      if (m_Path[m_Pos] != L'\'' && m_Path[m_Pos] != L'"')
        return Fail(CWXML_PATH_ERROR_PREDICATE, m_Pos);
      if (Value(p.value) != 0) return -1;
      p.test = attribute ? kTestAttributeValue : kTestChildValue;
      SkipSpace();
    }
    if (m_Path[m_Pos] == L'\0') return Fail(CWXML_PATH_ERROR_UNCLOSED, open);
    if (m_Path[m_Pos] != L']') return Fail(CWXML_PATH_ERROR_PREDICATE, m_Pos);
  }
  ++m_Pos;  // the "]"
  m_Program.predicates.push_back(p);
  ++m_Program.steps.back().predicateCount;
  return 0;
}

// One step at m_Pos, with its predicates.
int Compiler::Step() {
  const wchar_t c = m_Path[m_Pos];
  if (c == L'\0' || c == L'/') return Fail(CWXML_PATH_ERROR_EMPTY_STEP, m_Pos);
  if (c == L'@') {
    const long at = m_Pos++;
    long name = kNoName;
    if (m_Path[m_Pos] == L'*') {
      ++m_Pos;
    } else if ((name = Name()) < 0) {
      return Fail(CWXML_PATH_ERROR_NAME, m_Pos);
    }
    AddStep(kAxisAttribute, name);
    const wchar_t next = m_Path[m_Pos];
    if (next == L'/' || next == L'[') return Fail(CWXML_PATH_ERROR_ATTRIBUTE_NOT_LAST, at);
    return 0;
  }
  if (c == L'.') {
    const bool parent = m_Path[m_Pos + 1] == L'.';
    m_Pos += parent ? 2 : 1;
    AddStep(parent ? kAxisParent : kAxisSelf, kNoName);
  } else if (c == L'*') {
    ++m_Pos;
    AddStep(kAxisChild, kNoName);
  } else {
    const long name = Name();
    if (name < 0) return Fail(CWXML_PATH_ERROR_NAME, m_Pos);
    AddStep(kAxisChild, name);
  }
  while (m_Path[m_Pos] == L'[')
    if (Predicate() != 0) return -1;
  return 0;
}

int Compiler::Run() {
  if (m_Path[0] == L'\0') return Fail(CWXML_PATH_ERROR_EMPTY, 0);
  m_Program.absolute = m_Path[0] == L'/';
  if (m_Program.absolute) {
    ++m_Pos;
    if (m_Path[m_Pos] == L'/') {
      ++m_Pos;
      AddStep(kAxisDescendantOrSelf, kNoName);
    }
  }
  for (;;) {
    if (Step() != 0) return -1;
    const wchar_t c = m_Path[m_Pos];
    if (c == L'\0') return 0;
    if (c != L'/') return Fail(CWXML_PATH_ERROR_TRAILING, m_Pos);
    ++m_Pos;
    if (m_Path[m_Pos] == L'/') {
      ++m_Pos;
      AddStep(kAxisDescendantOrSelf, kNoName);
    }
  }
}

}  // namespace

int CompilePath(const wchar_t* path, PathProgram& program, SWXMLPathError& error) {
  program = PathProgram();
  Compiler compiler(path ? path : L"", program);
  const int result = compiler.Run();
  error = {compiler.m_Code, compiler.m_Offset, Message(compiler.m_Code)};
  return result;
}

}  // namespace cwbase_internal
