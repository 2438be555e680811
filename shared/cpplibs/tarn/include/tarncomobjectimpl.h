#pragma once

#include <windows.h>
#include <unknwn.h>

#include "tarncommodule.h"
#include "tarnexception.h"
#include "tarnnondelegatingunknown.h"
#include "tarntrace.h"

namespace Tarn
{
    namespace Com
    {
        // The base of every COM object of a server. It counts references atomically, counts itself
        // among the module's live objects from construction to destruction, and can be aggregated:
        // with an outer object its IUnknown delegates to the outer one, while the outer object
        // holds it through INonDelegatingUnknown.
        //
        // A derived class lists its interfaces in InternalQueryInterface and has the
        // QueryInterface, AddRef and Release of each interface forward to this class's
        // (TARN_COM_FORWARD_IUNKNOWN).
        class ComObjectImpl : public IUnknown, public INonDelegatingUnknown
        {
        public:
            static constexpr const wchar_t TraceSource[] = L"tarncomobjectimpl";

            ComObjectImpl(const ComObjectImpl&) = delete;
            ComObjectImpl& operator=(const ComObjectImpl&) = delete;

            // The outer object's when aggregated, else the object's own.
            HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override
            {
                return m_outer != nullptr ? m_outer->QueryInterface(iid, object)
                                          : NonDelegatingQueryInterface(iid, object);
            }

            ULONG STDMETHODCALLTYPE AddRef() override
            {
                return m_outer != nullptr ? m_outer->AddRef() : NonDelegatingAddRef();
            }

            ULONG STDMETHODCALLTYPE Release() override
            {
                return m_outer != nullptr ? m_outer->Release() : NonDelegatingRelease();
            }

            virtual ~ComObjectImpl()
            {
                if (m_module == nullptr)
                {
                    return;
                }
                try
                {
                    m_module->DecrementObjectCount();
                }
                catch (const Exception& exception)
                {
                    TARN_TRACE_EXCEPTION(L"Tarn::Com::ComObjectImpl::~ComObjectImpl", exception);
                }
            }

            // IID_IUnknown yields the INonDelegatingUnknown, so the inner object of an aggregate
            // keeps an identity of its own. Any other interface is looked up in
            // InternalQueryInterface and its reference taken through that interface: when
            // aggregated it goes to the outer object, which is the one the caller will release.
            HRESULT STDMETHODCALLTYPE NonDelegatingQueryInterface(REFIID iid, void** object) override
            {
                if (object == nullptr)
                {
                    return E_INVALIDARG;
                }
                *object = nullptr;
                if (::IsEqualIID(iid, IID_IUnknown))
                {
                    INonDelegatingUnknown* identity = this;
                    *object = identity;
                    NonDelegatingAddRef();
                    return S_OK;
                }
                void* found = InternalQueryInterface(iid);
                if (found == nullptr)
                {
                    return E_NOINTERFACE;
                }
                *object = found;
                static_cast<IUnknown*>(found)->AddRef();
                return S_OK;
            }

            ULONG STDMETHODCALLTYPE NonDelegatingAddRef() override
            {
                return static_cast<ULONG>(::InterlockedIncrement(&m_referenceCount));
            }

            ULONG STDMETHODCALLTYPE NonDelegatingRelease() override
            {
                const LONG count = ::InterlockedDecrement(&m_referenceCount);
                if (count == 0)
                {
                    delete this;
                }
                return static_cast<ULONG>(count);
            }

        protected:
            // One reference, held by the creator. The module (may be null) counts the object until
            // it is destroyed; the outer object (null when not aggregated) is not referenced.
            ComObjectImpl(IComModule* module, IUnknown* outer)
                : m_referenceCount(1), m_module(module), m_outer(outer)
            {
                if (m_module != nullptr)
                {
                    m_module->IncrementObjectCount();
                }
            }

            // The interface of this object for the IID, as a pointer to that interface, or null.
            // Takes no reference. A derived class answers for the interfaces it adds and passes
            // other IIDs on to its base.
            virtual void* InternalQueryInterface(REFIID)
            {
                return nullptr;
            }

            IComModule* GetComModule() const noexcept { return m_module; }

        private:
            volatile LONG m_referenceCount;
            IComModule* const m_module;
            IUnknown* const m_outer;
        };
    }
}

// In a class derived from ComObjectImpl and from further COM interfaces: the IUnknown methods those
// interfaces inherit, forwarding to ComObjectImpl's, so that every interface shares one identity and
// one reference count.
#define TARN_COM_FORWARD_IUNKNOWN                                                                  \
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override                   \
    {                                                                                               \
        return ::Tarn::Com::ComObjectImpl::QueryInterface(iid, object);                             \
    }                                                                                               \
    ULONG STDMETHODCALLTYPE AddRef() override                                                       \
    {                                                                                               \
        return ::Tarn::Com::ComObjectImpl::AddRef();                                                \
    }                                                                                               \
    ULONG STDMETHODCALLTYPE Release() override                                                      \
    {                                                                                               \
        return ::Tarn::Com::ComObjectImpl::Release();                                               \
    }
