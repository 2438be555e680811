#include <gtest/gtest.h>

#include <objbase.h>

#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "tarncomautoptr.h"
#include "testserver.h"
#include "testserverlibrary.h"
#include "testsupport.h"

namespace
{
    using Tarn::Com::ComAutoPtr;

    // {00000000-0000-0000-C000-0000000000AA}, a class the server does not have.
    const CLSID UnknownClsid = {0x00000000, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xAA}};

    // The controlling object of an aggregate: it counts the references it is given.
    class OuterObject final : public IUnknown
    {
    public:
        HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override
        {
            if (!::IsEqualIID(iid, IID_IUnknown))
            {
                *object = nullptr;
                return E_NOINTERFACE;
            }
            *object = this;
            AddRef();
            return S_OK;
        }

        ULONG STDMETHODCALLTYPE AddRef() override { return ++references; }
        ULONG STDMETHODCALLTYPE Release() override { return --references; }

        ULONG references = 1;
    };

    // The current count, read as AddRef and Release leave it.
    ULONG ReferenceCount(IUnknown* object)
    {
        object->AddRef();
        return object->Release();
    }
}

// Every test must leave the server with no object and no lock.
class InProcServerTest : public testing::Test
{
protected:
    static void SetUpTestSuite() { s_server = new TestServer::Library(); }

    static void TearDownTestSuite()
    {
        delete s_server;
        s_server = nullptr;
    }

    void TearDown() override { EXPECT_EQ(S_OK, s_server->CanUnloadNow()); }

    static void GetFactory(REFCLSID clsid, ComAutoPtr<IClassFactory>& factory)
    {
        ASSERT_EQ(S_OK, s_server->GetClassObject(clsid, IID_IClassFactory, reinterpret_cast<void**>(factory.GetAddress())));
    }

    static TestServer::Library* s_server;
};

TestServer::Library* InProcServerTest::s_server = nullptr;

TEST_F(InProcServerTest, UnknownClassIsNotAvailableAndYieldsNoObject)
{
    void* object = &object;
    EXPECT_EQ(CLASS_E_CLASSNOTAVAILABLE, s_server->GetClassObject(UnknownClsid, IID_IClassFactory, &object));
    EXPECT_EQ(nullptr, object);
}

TEST_F(InProcServerTest, FactoriesObjectsAndUnmatchedServerLocksKeepTheServerLoaded)
{
    EXPECT_EQ(S_OK, s_server->CanUnloadNow());
    ComAutoPtr<IClassFactory> factory;
    GetFactory(TestServer::ApartmentObjectClsid, factory);
    EXPECT_EQ(S_FALSE, s_server->CanUnloadNow());

    ComAutoPtr<IPersist> object;
    ASSERT_EQ(S_OK, factory->CreateInstance(nullptr, IID_IPersist, reinterpret_cast<void**>(object.GetAddress())));
    factory.Reset();
    EXPECT_EQ(S_FALSE, s_server->CanUnloadNow());
    object.Reset();
    EXPECT_EQ(S_OK, s_server->CanUnloadNow());

    GetFactory(TestServer::ApartmentObjectClsid, factory);
    EXPECT_EQ(S_OK, factory->LockServer(TRUE));
    factory.Reset();
    EXPECT_EQ(S_FALSE, s_server->CanUnloadNow());
    GetFactory(TestServer::ApartmentObjectClsid, factory);
    EXPECT_EQ(S_OK, factory->LockServer(FALSE));
}

TEST_F(InProcServerTest, EveryInterfaceLeadsToOneIdentityAndUnsupportedOnesAreRefused)
{
    ComAutoPtr<IClassFactory> factory;
    GetFactory(TestServer::FreeObjectClsid, factory);
    ComAutoPtr<IUnknown> created;
    ASSERT_EQ(S_OK, factory->CreateInstance(nullptr, IID_IUnknown, reinterpret_cast<void**>(created.GetAddress())));
    ComAutoPtr<IPersist> persist;
    ASSERT_EQ(S_OK, created->QueryInterface(IID_IPersist, reinterpret_cast<void**>(persist.GetAddress())));
    CLSID clsid = {};
    EXPECT_EQ(S_OK, persist->GetClassID(&clsid));
    EXPECT_TRUE(::IsEqualCLSID(TestServer::FreeObjectClsid, clsid));

    ComAutoPtr<IUnknown> fromPersist;
    ComAutoPtr<IUnknown> fromUnknown;
    ASSERT_EQ(S_OK, persist->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(fromPersist.GetAddress())));
    ASSERT_EQ(S_OK, created->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(fromUnknown.GetAddress())));
    EXPECT_EQ(created.Get(), fromPersist.Get());
    EXPECT_EQ(created.Get(), fromUnknown.Get());

    const ULONG count = ReferenceCount(persist.Get());
    void* stream = &stream;
    EXPECT_EQ(E_NOINTERFACE, persist->QueryInterface(IID_IStream, &stream));
    EXPECT_EQ(nullptr, stream);
    EXPECT_EQ(count, ReferenceCount(persist.Get()));

    void* factoryAsPersist = &factoryAsPersist;
    EXPECT_EQ(E_NOINTERFACE, factory->QueryInterface(IID_IPersist, &factoryAsPersist));
    EXPECT_EQ(nullptr, factoryAsPersist);
}

TEST_F(InProcServerTest, AggregatedObjectKeepsItsOwnIdentityAndDelegatesEverythingElseToTheOuterObject)
{
    ComAutoPtr<IClassFactory> factory;
    GetFactory(TestServer::ApartmentObjectClsid, factory);
    OuterObject outer;
    void* refused = &refused;
    EXPECT_EQ(E_NOINTERFACE, factory->CreateInstance(&outer, IID_IPersist, &refused));
    EXPECT_EQ(nullptr, refused);

    ComAutoPtr<IUnknown> inner;
    ASSERT_EQ(S_OK, factory->CreateInstance(&outer, IID_IUnknown, reinterpret_cast<void**>(inner.GetAddress())));
    ASSERT_NE(static_cast<IUnknown*>(&outer), inner.Get());
    ComAutoPtr<IUnknown> innerIdentity;
    ASSERT_EQ(S_OK, inner->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(innerIdentity.GetAddress())));
    EXPECT_EQ(inner.Get(), innerIdentity.Get());
    innerIdentity.Reset();

    // The interface's reference belongs to the outer object, which is the one its user releases.
    ComAutoPtr<IPersist> persist;
    ASSERT_EQ(S_OK, inner->QueryInterface(IID_IPersist, reinterpret_cast<void**>(persist.GetAddress())));
    EXPECT_EQ(2u, outer.references);
    ComAutoPtr<IUnknown> outerIdentity;
    ASSERT_EQ(S_OK, persist->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(outerIdentity.GetAddress())));
    EXPECT_EQ(static_cast<IUnknown*>(&outer), outerIdentity.Get());
    outerIdentity.Reset();
    persist.Reset();
    EXPECT_EQ(1u, outer.references);

    // Releasing the inner object's own reference destroys it, which the server's counts show.
    inner.Reset();
    factory.Reset();
    EXPECT_EQ(S_OK, s_server->CanUnloadNow());
}

TEST_F(InProcServerTest, ObjectWhoseCreationFailsIsNotLeftBehind)
{
    ComAutoPtr<IClassFactory> factory;
    GetFactory(TestServer::ApartmentObjectClsid, factory);
    void* object = &object;
    EXPECT_EQ(E_NOINTERFACE, factory->CreateInstance(nullptr, IID_IStream, &object));
    EXPECT_EQ(nullptr, object);

    GetFactory(TestServer::UnavailableObjectClsid, factory);
    object = &object;
    EXPECT_EQ(TestServer::UnavailableObjectError, factory->CreateInstance(nullptr, IID_IUnknown, &object));
    EXPECT_EQ(nullptr, object);
    factory.Reset();
    EXPECT_EQ(S_OK, s_server->CanUnloadNow());
}

TEST_F(InProcServerTest, AnythingThrownButATarnExceptionIsAnsweredUnexpectedAndTracedOnce)
{
    ComAutoPtr<IClassFactory> factory;
    GetFactory(TestServer::UnavailableObjectClsid, factory);
    TarnTest::DebugOutputListener listener;
    s_server->ThrowUnexpected(true);
    struct Boundary
    {
        const char* source;
        const char* function;
        std::function<HRESULT()> call;
    };
    void* object = nullptr;
    const Boundary boundaries[] = {
        {"tarnclassfactory", "Tarn::Com::ClassFactory::CreateInstance",
         [&] { return factory->CreateInstance(nullptr, IID_IUnknown, &object); }},
        {"src\\tarninprocserverimpl", "Tarn::Com::InProcServerImpl::DllGetClassObject",
         [&] { return s_server->GetClassObject(TestServer::FreeObjectClsid, IID_IClassFactory, &object); }},
        {"src\\tarninprocserverimpl", "Tarn::Com::InProcServerImpl::DllRegisterServer",
         [] { return s_server->RegisterServer(); }},
        {"src\\tarninprocserverimpl", "Tarn::Com::InProcServerImpl::DllUnregisterServer",
         [] { return s_server->UnregisterServer(); }},
    };
    for (const Boundary& boundary : boundaries)
    {
        SCOPED_TRACE(boundary.function);
        EXPECT_EQ(E_UNEXPECTED, boundary.call());
        EXPECT_EQ(1u, TarnTest::CountErrorLines(listener, boundary.source, boundary.function,
                                                "Unexpected exception caught"));
    }
    s_server->ThrowUnexpected(false);
    EXPECT_EQ(ARRAYSIZE(boundaries), listener.GetLines().size()) << "one line each, nothing else";
}

TEST_F(InProcServerTest, ConcurrentCreationAndLockingLeaveNothingCounted)
{
    const int threadCount = 8;
    const int iterations = 2000;
    std::vector<std::thread> threads;
    std::vector<int> failures(threadCount, 0);
    for (int thread = 0; thread < threadCount; ++thread)
    {
        threads.emplace_back([thread, &failures] {
            for (int iteration = 0; iteration < iterations; ++iteration)
            {
                IClassFactory* factory = nullptr;
                IUnknown* object = nullptr;
                if (s_server->GetClassObject(TestServer::FreeObjectClsid, IID_IClassFactory,
                                             reinterpret_cast<void**>(&factory)) != S_OK ||
                    factory->LockServer(TRUE) != S_OK ||
                    factory->CreateInstance(nullptr, IID_IUnknown, reinterpret_cast<void**>(&object)) != S_OK)
                {
                    ++failures[thread];
                    return;
                }
                factory->Release();
                object->Release();
                s_server->GetClassObject(TestServer::FreeObjectClsid, IID_IClassFactory,
                                         reinterpret_cast<void**>(&factory));
                factory->LockServer(FALSE);
                factory->Release();
            }
        });
    }
    for (std::thread& thread : threads)
    {
        thread.join();
    }
    EXPECT_EQ(std::vector<int>(threadCount, 0), failures);
    EXPECT_EQ(S_OK, s_server->CanUnloadNow());
}
