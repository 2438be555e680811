#include "commoncontrols.h"

#include <cstddef>

#include "tarnboundary.h"
#include "tarnexception.h"
#include "tarnfailure.h"
#include "tarnmoduleimpl.h"
#include "tarnstring.h"
#include "tarntrace.h"

namespace
{
    const wchar_t TraceSource[] = L"commoncontrols";
}

namespace CommonControls
{
    namespace
    {
        const wchar_t LibraryName[] = L"Comctl32.dll";
        const WORD ManifestResourceId = 3;
        // A descriptor must reach hActCtx before it can carry a context.
        const DWORD ContextDescriptorSize = offsetof(PROPSHEETPAGEW_V3, hActCtx) + sizeof(HANDLE);

        using CreatePageFunction = HPROPSHEETPAGE(WINAPI*)(LPCPROPSHEETPAGEW);
        using DestroyPageFunction = BOOL(WINAPI*)(HPROPSHEETPAGE);
        using InitFunction = BOOL(WINAPI*)(const INITCOMMONCONTROLSEX*);

        // What the first use found, fixed for the life of the module. comctl32 stays loaded until the
        // process ends: at unload this runs under the loader lock, where FreeLibrary must not be called.
        class Library
        {
        public:
            constexpr Library() noexcept
                : context(nullptr), ownsContext(false), createPage(nullptr), destroyPage(nullptr), init(nullptr)
            {
            }
            Library(const Library&) = delete;
            Library& operator=(const Library&) = delete;

            ~Library()
            {
                if (ownsContext)
                {
                    ::ReleaseActCtx(context);
                }
            }

            HANDLE context;
            bool ownsContext;
            CreatePageFunction createPage;
            DestroyPageFunction destroyPage;
            InitFunction init;
        };

        Library TheLibrary;
        INIT_ONCE LibraryLoaded = INIT_ONCE_STATIC_INIT;

        // Keeps the context active for one scope. The last-error value of the work done inside
        // survives the deactivation.
        class ActivationScope
        {
        public:
            explicit ActivationScope(HANDLE context) noexcept : m_cookie(0), m_active(false)
            {
                if (context != nullptr)
                {
                    m_active = ::ActivateActCtx(context, &m_cookie) != FALSE;
                    if (!m_active)
                    {
                        TARN_TRACE(Tarn::TraceLevel::Warning, L"CommonControls::ActivationScope::ActivationScope",
                                   L"ActivateActCtx() failed, error code 0x{0:X}", ::GetLastError());
                    }
                }
            }
            ActivationScope(const ActivationScope&) = delete;
            ActivationScope& operator=(const ActivationScope&) = delete;

            ~ActivationScope()
            {
                if (m_active)
                {
                    const DWORD error = ::GetLastError();
                    ::DeactivateActCtx(0, m_cookie);
                    ::SetLastError(error);
                }
            }

        private:
            ULONG_PTR m_cookie;
            bool m_active;
        };

        // Any address inside this module identifies it; this function's own is as good as any. Without
        // it the host program's file would stand in for the module's, and its manifest for ours.
        HMODULE GetThisModule()
        {
            HMODULE module = nullptr;
            if (!::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                                      reinterpret_cast<LPCWSTR>(&GetThisModule), &module))
            {
                TARN_THROW_WIN32(L"CommonControls::GetThisModule", L"GetModuleHandleEx() failed, error code 0x{0:X}",
                                 ::GetLastError());
            }
            return module;
        }

        // The context the loader built from this module's manifest, or else one made from its manifest
        // resource 3 (then owned), or null.
        HANDLE FindModuleContext(bool& owned)
        {
            owned = false;
            ACTIVATION_CONTEXT_BASIC_INFORMATION information = {};
            if (::QueryActCtxW(QUERY_ACTCTX_FLAG_ACTCTX_IS_ADDRESS | QUERY_ACTCTX_FLAG_NO_ADDREF,
                               reinterpret_cast<PVOID>(&FindModuleContext), nullptr, ActivationContextBasicInformation,
                               &information, sizeof(information), nullptr)
                && information.hActCtx != nullptr)
            {
                return information.hActCtx;
            }

            const HMODULE module = GetThisModule();
            const Tarn::String path = Tarn::ModuleImpl::GetModuleFileNameW(module);
            ACTCTXW description = {};
            description.cbSize = sizeof(description);
            description.dwFlags = ACTCTX_FLAG_RESOURCE_NAME_VALID | ACTCTX_FLAG_HMODULE_VALID;
            description.lpSource = path.GetBuffer();
            description.lpResourceName = MAKEINTRESOURCEW(ManifestResourceId);
            description.hModule = module;
            const HANDLE context = ::CreateActCtxW(&description);
            if (context == INVALID_HANDLE_VALUE)
            {
                // A module without the resource simply runs with whatever the process binds.
                const DWORD error = ::GetLastError();
                const Tarn::TraceLevel level = error == ERROR_RESOURCE_TYPE_NOT_FOUND || error == ERROR_RESOURCE_NAME_NOT_FOUND
                    ? Tarn::TraceLevel::Info
                    : Tarn::TraceLevel::Warning;
                TARN_TRACE(level, L"CommonControls::FindModuleContext", L"CreateActCtx() failed, error code 0x{0:X}", error);
                return nullptr;
            }
            owned = true;
            return context;
        }

        template <typename Function>
        bool Resolve(HMODULE module, const char* name, PCWSTR wideName, Function& function, HRESULT& failure)
        {
            function = reinterpret_cast<Function>(reinterpret_cast<void*>(::GetProcAddress(module, name)));
            if (function == nullptr)
            {
                const DWORD error = ::GetLastError();
                TARN_TRACE(Tarn::TraceLevel::Error, L"CommonControls::Resolve",
                           L"GetProcAddress() failed for {0}, error code 0x{1:X}", Tarn::String(wideName, true), error);
                failure = Tarn::HResultFromWin32(error);
                return false;
            }
            return true;
        }

        // Runs once per process (again after a failure); the failure's code goes to *parameter.
        BOOL CALLBACK Load(PINIT_ONCE, PVOID parameter, PVOID*)
        {
            HRESULT& failure = *static_cast<HRESULT*>(parameter);
            // What anything thrown that is not a Tarn::Exception leaves; every other failure sets its own.
            failure = E_UNEXPECTED;
            const Tarn::BoundarySite site = TARN_BOUNDARY(L"CommonControls::Load");
            return Tarn::CatchAll(
                site, FALSE,
                [&site, &failure]() -> BOOL {
                    bool ownsContext = false;
                    const HANDLE context = FindModuleContext(ownsContext);
                    HMODULE module;
                    {
                        ActivationScope scope(context);
                        module = ::LoadLibraryW(LibraryName);
                    }
                    if (module == nullptr)
                    {
                        const DWORD error = ::GetLastError();
                        TARN_TRACE(Tarn::TraceLevel::Error, site.function,
                                   L"LoadLibrary() failed for {0}, error code 0x{1:X}", Tarn::String(LibraryName, true),
                                   error);
                        failure = Tarn::HResultFromWin32(error);
                    }
                    else if (Resolve(module, "CreatePropertySheetPageW", L"CreatePropertySheetPageW",
                                     TheLibrary.createPage, failure)
                             && Resolve(module, "DestroyPropertySheetPage", L"DestroyPropertySheetPage",
                                        TheLibrary.destroyPage, failure)
                             && Resolve(module, "InitCommonControlsEx", L"InitCommonControlsEx", TheLibrary.init, failure))
                    {
                        TheLibrary.context = context;
                        TheLibrary.ownsContext = ownsContext;
                        return TRUE;
                    }
                    else
                    {
                        ::FreeLibrary(module);
                    }
                    if (ownsContext)
                    {
                        ::ReleaseActCtx(context);
                    }
                    return FALSE;
                },
                [&site, &failure](const Tarn::Exception& exception) {
                    TARN_TRACE_EXCEPTION(site.function, exception);
                    failure = exception.GetErrorCode();
                    return FALSE;
                });
        }

        const Library& GetLibrary()
        {
            HRESULT failure = E_FAIL;
            if (!::InitOnceExecuteOnce(&LibraryLoaded, &Load, &failure, nullptr))
            {
                throw Tarn::SystemException(failure);
            }
            return TheLibrary;
        }
    }

    HPROPSHEETPAGE CreatePage(PROPSHEETPAGEW_V3& page)
    {
        const Library& library = GetLibrary();
        if (library.context != nullptr && page.dwSize >= ContextDescriptorSize && (page.dwFlags & PSP_USEFUSIONCONTEXT) == 0)
        {
            page.dwFlags |= PSP_USEFUSIONCONTEXT;
            page.hActCtx = library.context;
        }
        ActivationScope scope(library.context);
        // comctl32 reads as much of the descriptor as its dwSize says.
        return library.createPage(reinterpret_cast<LPCPROPSHEETPAGEW>(&page));
    }

    BOOL DestroyPage(HPROPSHEETPAGE page)
    {
        const Library& library = GetLibrary();
        ActivationScope scope(library.context);
        return library.destroyPage(page);
    }

    BOOL InitCommonControlsEx(const INITCOMMONCONTROLSEX& controls)
    {
        const Library& library = GetLibrary();
        ActivationScope scope(library.context);
        return library.init(&controls);
    }
}
