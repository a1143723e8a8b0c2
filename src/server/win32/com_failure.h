#pragma once

#include <oaidl.h>

#include <functional>

#include "host/failure.h"

namespace oq::win32 {

// The failure a host object reported, with the number and text an automation client shows:
// through EXCEPINFO (after DISP_E_EXCEPTION, its deferred fill-in called), else through its result
// and the thread's error object, read when `object` says it supports error objects for IDispatch,
// or when there is no object (a class that failed to make one leaves its error there). A run-time
// error (0x800Axxxx) gives its own number; the standard automation failures (DISP_E_DIVBYZERO,
// DISP_E_MEMBERNOTFOUND, E_OUTOFMEMORY, ...) the run-time error numbers a script sees for them
// (11, 438, 7, ...); any other result its HRESULT as a signed number. A description the object
// gave is kept; otherwise the number's usual text.
Failure FailureFromExcepInfo(const EXCEPINFO& info);
Failure FailureFromResult(HRESULT result, IUnknown* object);

// The HRESULT that carries `failure` back to a COM caller: 0x800A0000 | number for a run-time
// error number, the number itself when it already is an HRESULT.
HRESULT ResultOf(const Failure& failure);

// Runs `body` for a COM member: nothing may unwind into the caller. A Failure becomes the
// thread's error information (number, description, source) and its HRESULT; any other exception
// becomes E_OUTOFMEMORY or E_UNEXPECTED.
HRESULT Guarded(const std::function<void()>& body);

}  // namespace oq::win32
