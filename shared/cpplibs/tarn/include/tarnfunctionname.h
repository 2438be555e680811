#pragma once

#include "tarnstring.h"

namespace Tarn
{
    // The qualified name of a function in the form trace lines carry, from the compiler's own
    // spelling of it: for a member of a class template, the instantiation's name with its template
    // arguments ("Tarn::Containers::ListBase<int>::GetCurrentEnumeratorItem"), which is what tells
    // a reader which instantiation traced. MSVC spells it so already; GCC's signature is cut down to
    // the name, its template parameters replaced by their arguments and spaced as MSVC spaces them
    // ("> >", "T *", "A,B"). A null string when memory runs out; never throws.
    String GetFunctionName(const char* compilerSignature) noexcept;
}

// The compiler's own spelling of the enclosing function, for GetFunctionName. It costs nothing to
// pass along: a helper that traces on a caller's behalf turns it into a name only when it traces.
#if defined(_MSC_VER)
#define TARN_FUNCTION_SIGNATURE __FUNCTION__
#else
#define TARN_FUNCTION_SIGNATURE __PRETTY_FUNCTION__
#endif

// The enclosing function's name for TARN_TRACE and TARN_TRACE_EXCEPTION in templates, whose
// literal names cannot say which instantiation they belong to. Valid until the end of the statement.
#define TARN_TEMPLATE_FUNCTION ::Tarn::GetFunctionName(TARN_FUNCTION_SIGNATURE).GetBuffer()
