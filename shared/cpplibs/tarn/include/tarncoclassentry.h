#pragma once

#include <windows.h>

#include "tarncommodule.h"
#include "tarnguid.h"
#include "tarnstring.h"

namespace Tarn
{
    namespace Com
    {
        // The threading model a class is registered with. Any other value registers as Apartment.
        enum class ThreadingModel : INT32
        {
            Apartment = 0,
            Free = 1,
            Both = 2,
        };

        // Makes the class object of one class and queries it for the IID into the out pointer.
        // ClassFactory<T>::CreateClassObject is the usual one.
        typedef HRESULT (*ClassObjectCreator)(IComModule* module, REFIID iid, void** object);

        // One class of an in-process server: what registration writes for it and how its class
        // object is made.
        class CoClassEntry
        {
        public:
            // An empty description registers the class without a friendly name.
            CoClassEntry(const Guid& clsid, ThreadingModel threadingModel, const String& description,
                         ClassObjectCreator createClassObject)
                : m_clsid(clsid), m_threadingModel(threadingModel), m_description(description),
                  m_createClassObject(createClassObject)
            {
            }

            const Guid& GetClsid() const noexcept { return m_clsid; }
            ThreadingModel GetThreadingModel() const noexcept { return m_threadingModel; }
            const String& GetDescription() const noexcept { return m_description; }

            HRESULT CreateClassObject(IComModule* module, REFIID iid, void** object) const
            {
                return m_createClassObject(module, iid, object);
            }

        private:
            Guid m_clsid;
            ThreadingModel m_threadingModel;
            String m_description;
            ClassObjectCreator m_createClassObject;
        };
    }
}
