#pragma once

#include <windows.h>

#include "tarnexception.h"
#include "tarntrace.h"

namespace Tarn
{
    // Where a boundary is, for the lines its backstop writes: the trace source, the line and the
    // boundary's qualified function name. TARN_BOUNDARY makes one at the call site.
    struct BoundarySite
    {
        PCWSTR sourceFile;
        UINT32 line;
        PCWSTR function;
    };

    // The backstop of a function that must not let an exception pass: COM methods, exported
    // functions, window and page procedures, thread procedures, one-time initialisation callbacks.
    // Returns what the work returns. A Tarn::Exception is handed to onException and anything else
    // thrown to onUnexpected; the boundary answers with what the handler returns. Handlers trace and
    // pick the answer; they must not throw.
    template <typename Result, typename Work, typename OnException, typename OnUnexpected>
    Result CatchAll(Work&& work, OnException&& onException, OnUnexpected&& onUnexpected)
    {
        try
        {
            return work();
        }
        catch (const Exception& exception)
        {
            return onException(exception);
        }
        catch (...)
        {
            return onUnexpected();
        }
    }

    // The usual boundary: anything but a Tarn::Exception is traced at ERROR as
    // UnexpectedExceptionMessage, with the boundary's function name, and answered with `unexpected`,
    // the boundary's failure value.
    template <typename Result, typename Work, typename OnException>
    Result CatchAll(const BoundarySite& site, Result unexpected, Work&& work, OnException&& onException)
    {
        return CatchAll<Result>(work, onException, [&site, unexpected] {
            TraceUnexpectedException(site.sourceFile, site.line, site.function);
            return unexpected;
        });
    }

    // A boundary with one answer for every failure: a Tarn::Exception is traced by the catch
    // convention, anything else as above, and both are answered with `failure`.
    template <typename Result, typename Work>
    Result CatchAllAs(const BoundarySite& site, Result failure, Work&& work)
    {
        return CatchAll(site, failure, work, [&site, failure](const Exception& exception) {
            TraceException(site.sourceFile, site.line, site.function, exception);
            return failure;
        });
    }

    // A COM method or an exported function: a Tarn::Exception is traced by the catch convention and
    // answered with its error code; anything else with E_UNEXPECTED.
    template <typename Work>
    HRESULT CatchAllAsHResult(const BoundarySite& site, Work&& work)
    {
        return CatchAll(site, E_UNEXPECTED, work, [&site](const Exception& exception) {
            TraceException(site.sourceFile, site.line, site.function, exception);
            return exception.GetErrorCode();
        });
    }
}

// The site of a boundary: TARN_BOUNDARY(L"Tarn::Com::InProcServerImpl::DllGetClassObject"). Needs
// TraceSource in scope, like TARN_TRACE.
#define TARN_BOUNDARY(function) (::Tarn::BoundarySite{TraceSource, __LINE__, (function)})
