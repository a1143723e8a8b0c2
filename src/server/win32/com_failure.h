#pragma once

#include <oaidl.h>

#include <functional>

#include "host/failure.h"

namespace oq::win32 {

// The failure a host object reported through EXCEPINFO (after DISP_E_EXCEPTION) or through its
// result alone, with the number an automation client shows: the run-time error number for
// errors of the automation facility (0x800Axxxx), else the HRESULT itself as a signed number.
Failure FailureFromExcepInfo(const EXCEPINFO& info);
Failure FailureFromResult(HRESULT result);

// The HRESULT that carries `failure` back to a COM caller: 0x800A0000 | number for a run-time
// error number, the number itself when it already is an HRESULT.
HRESULT ResultOf(const Failure& failure);

// Runs `body` for a COM member: nothing may unwind into the caller. A Failure becomes the
// thread's error information (number, description, source) and its HRESULT; any other exception
// becomes E_OUTOFMEMORY or E_UNEXPECTED.
HRESULT Guarded(const std::function<void()>& body);

}  // namespace oq::win32
