#include <gtest/gtest.h>

#include "containertestsupport.h"
#include "tarnarray.h"
#include "tarnexception.h"
#include "tarnlist.h"
#include "tarnmap.h"
#include "tarnsimplelist.h"
#include "tarnstack.h"
#include "tarnstring.h"
#include "testsupport.h"

// Containers filled, walked, failed and destroyed many times must hand every block back.
TEST(ContainerHeapTest, FilledAndDestroyedContainersLeaveTheHeapWhereItWas)
{
    const auto workload = [] {
        Tarn::Containers::List<Tarn::String> strings;
        for (int index = 0; index < 20; ++index)
        {
            strings.Add(Tarn::String(L"element", false));
        }
        strings.InsertAt(10, Tarn::String(L"inserted", false));
        strings.RemoveAt(3);
        Tarn::Containers::List<Tarn::String> more;
        more.AddItems(strings);
        strings.Append(more);

        Tarn::Containers::List<int> numbers;
        TarnTest::ScriptedContainer failing({1, 2, 3, 4}, 2);
        try
        {
            numbers.AddItems(failing);
        }
        catch (const Tarn::Exception&)
        {
        }

        Tarn::Containers::SimpleList<int> simple;
        for (int index = 0; index < 20; ++index)
        {
            simple.Add(index);
        }
        simple.RemoveAt(5);

        Tarn::Containers::Stack<int> stack;
        for (int index = 0; index < 20; ++index)
        {
            stack.Push(index);
        }
        stack.Pop();

        Tarn::Containers::Array<int> array(16);
        array.Resize(40);
        Tarn::Enumerator<int> arrayEnumerator = array.GetEnumerator();
        arrayEnumerator.MoveNext();

        Tarn::Containers::Map<int, Tarn::String> map;
        for (int key = 0; key < 50; ++key)
        {
            map.Add(Tarn::KeyValuePair<int, Tarn::String>((key * 37) % 50, Tarn::String(L"value", false)));
        }
        try
        {
            map.Add(Tarn::KeyValuePair<int, Tarn::String>(7, Tarn::String(L"duplicate", false)));
        }
        catch (const Tarn::Exception&)
        {
        }
        for (int key = 0; key < 50; key += 3)
        {
            map.Remove(key);
        }
        Tarn::Enumerator<Tarn::KeyValuePair<int, Tarn::String>> mapEnumerator = map.GetEnumerator();
        for (int step = 0; step < 10; ++step)
        {
            mapEnumerator.MoveNext();
        }
        Tarn::Enumerator<Tarn::KeyValuePair<int, Tarn::String>> clone = mapEnumerator.Clone();
        while (clone.MoveNext())
        {
        }
    };

    EXPECT_EQ(0u, TarnTest::MeasureHeapGrowth(workload, 300));
}
