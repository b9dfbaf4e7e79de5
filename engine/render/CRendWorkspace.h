#pragma once
// The per-render companion object a resource makes when it is attached to a render instance;
// the render owns it and releases it through the virtual destructor.
class CMatrix;
class CRender;

class CRendWorkspace {
public:
    virtual ~CRendWorkspace() {}
    // Text given to the render instance; the base shows none.
    virtual void AttachText(const char*) {}
    // Whether the render shows this frame, with the matrix and render to draw it with.
    virtual int Prepare(CMatrix** /*matrixOut*/, CRender** /*renderOut*/) { return 0; }
    virtual int GetMatrix(CMatrix** /*matrixOut*/) { return 0; }
};
