#pragma once
// The per-render companion object a resource makes when it is attached to a render instance;
// the render owns it and releases it through the virtual destructor.
class CRendWorkspace {
public:
    virtual ~CRendWorkspace() {}
    // Text given to the render instance; the base shows none.
    virtual void AttachText(const char*) {}
};
