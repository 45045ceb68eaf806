#include "WindowRegistry.h"

std::map<int, WindowRegistry::Factory> &WindowRegistry::table()
{
    static std::map<int, Factory> windows;
    return windows;
}

void WindowRegistry::registerWindow(int tag, Factory factory)
{
    table()[tag] = std::move(factory);
}

bool WindowRegistry::contains(int tag)
{
    return table().count(tag) != 0;
}

QDialog *WindowRegistry::create(int tag, const WindowContext &context)
{
    const auto it = table().find(tag);
    return it == table().end() ? nullptr : it->second(context, tag);
}
