#pragma once

namespace Tarn
{
    // A piece of work that a thread runs.
    class IRunnable
    {
    public:
        virtual void Run() = 0;

    protected:
        virtual ~IRunnable() = default;
    };
}
