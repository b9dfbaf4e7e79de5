#pragma once
// The per-render companion object a resource makes when it is attached to a render instance;
// the render owns it and releases it through the virtual destructor (global delete, which is
// the engine heap).
class CMatrix;
class CRender;

class CRendWorkspace {
public:
    virtual ~CRendWorkspace() {}
    // Text given to the render instance; the base shows none.
    virtual void AttachText(const char*) {}
    // Gets the render ready to draw this frame: 0 when it is not to be drawn, otherwise
    // non-zero with the world matrix and the render whose settings the draw uses.
    virtual int Prepare(CMatrix** matrixOut, CRender** renderOut)
    {
        (void)matrixOut;
        (void)renderOut;
        return 0;
    }
    // The render's world matrix; the base has none.
    virtual int GetMatrix(CMatrix** matrixOut)
    {
        (void)matrixOut;
        return 0;
    }
};
