#pragma once

#include <windows.h>
#include <bcrypt.h>

#include "tarnexception.h"
#include "tarntrace.h"

// Tests the NTSTATUS of a CNG call. A failure is traced at ERROR with the status as argument 0 and
// thrown as SystemException with the status marked as an NT code. Needs TraceSource in scope.
#define CRYPTO_CHECK_NTSTATUS(call, function, message)                                           \
    do                                                                                          \
    {                                                                                           \
        const NTSTATUS cryptoCallStatus = (call);                                               \
        if (!BCRYPT_SUCCESS(cryptoCallStatus))                                                  \
        {                                                                                       \
            TARN_TRACE(::Tarn::TraceLevel::Error, (function), (message), cryptoCallStatus);     \
            throw ::Tarn::SystemException(::Tarn::HResultFromNtStatus(cryptoCallStatus));       \
        }                                                                                       \
    } while (false)
