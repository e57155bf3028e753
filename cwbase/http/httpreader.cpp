// CWHttpResponseReader: the public face of the reader; its State is the
// library's state machine, cwbase_internal::HttpReaderState
// (internal/reader_state.h), under a name the public header can declare.
#include "cwbase/http/httpreader.h"

#include "cwbase/http/internal/reader_state.h"

class CWHttpResponseReader::State : public cwbase_internal::HttpReaderState {};

CWHttpResponseReader::CWHttpResponseReader() : m_pState(new State) {}

CWHttpResponseReader::~CWHttpResponseReader() {
  delete m_pState;
}

void CWHttpResponseReader::Reset(bool headRequest) {
  m_pState->Reset(headRequest);
}

int CWHttpResponseReader::Feed(const char* data, long size, long* used) {
  return m_pState->Feed(data, size, used);
}

int CWHttpResponseReader::Finish() {
  return m_pState->Finish();
}

int CWHttpResponseReader::GetStatus() const {
  return m_pState->m_HeadRead ? m_pState->m_Status : 0;
}

int CWHttpResponseReader::GetMinorVersion() const {
  return m_pState->m_HeadRead ? m_pState->m_Minor : -1;
}

const char* CWHttpResponseReader::GetReason() const {
  return m_pState->m_HeadRead ? m_pState->m_Head.m_Text.Data() + m_pState->m_Reason : "";
}

int CWHttpResponseReader::GetHeaderCount() const {
  return m_pState->m_Head.Count();
}

const SWHttpHeader* CWHttpResponseReader::GetHeaderAt(int index) const {
  return m_pState->m_Head.At(index);
}

const char* CWHttpResponseReader::GetHeaderValue(const char* name) const {
  return m_pState->m_Head.Value(name);
}

int CWHttpResponseReader::GetTrailerCount() const {
  return m_pState->m_Tail.Count();
}

const SWHttpHeader* CWHttpResponseReader::GetTrailerAt(int index) const {
  return m_pState->m_Tail.At(index);
}

const char* CWHttpResponseReader::GetTrailerValue(const char* name) const {
  return m_pState->m_Tail.Value(name);
}

const char* CWHttpResponseReader::GetBody() const {
  return m_pState->m_Body.Size() > 0 ? m_pState->m_Body.Data() : "";
}

long CWHttpResponseReader::GetBodyLength() const {
  return m_pState->m_Body.Size();
}

int CWHttpResponseReader::GetFraming() const {
  return m_pState->m_Framing;
}

long CWHttpResponseReader::GetContentLength() const {
  return m_pState->m_ContentLength;
}

bool CWHttpResponseReader::IsKeepAlive() const {
  return m_pState->m_KeepAlive;
}

bool CWHttpResponseReader::IsComplete() const {
  return m_pState->IsComplete();
}

const CWHttpError& CWHttpResponseReader::GetLastError() const {
  return m_pState->m_Error;
}

void CWHttpResponseReader::SetLimits(const CWHttpLimits& limits) {
  const CWHttpLimits defaults;
  CWHttpLimits& set = m_pState->m_Limits;
  set.headerBytes = limits.headerBytes >= 1 ? limits.headerBytes : defaults.headerBytes;
  set.headerCount = limits.headerCount >= 1 ? limits.headerCount : defaults.headerCount;
  set.bodyBytes = limits.bodyBytes >= 0 ? limits.bodyBytes : defaults.bodyBytes;
}

const CWHttpLimits& CWHttpResponseReader::GetLimits() const {
  return m_pState->m_Limits;
}
