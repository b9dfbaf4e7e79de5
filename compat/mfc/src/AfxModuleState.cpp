#include <afx.h>

AFX_MODULE_STATE* AfxGetModuleState()
{
    static AFX_MODULE_STATE state{0x0420};
    return &state;
}
