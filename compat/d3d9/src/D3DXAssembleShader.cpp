// The assembler entry point and the buffers it hands back.
#include <d3dx9.h>

#include <cstring>
#include <vector>

#include "ComObject.h"
#include "ShaderAssembler.h"

namespace d3d9sw {

namespace {

class Buffer : public ComObject<ID3DXBuffer> {
public:
    Buffer(const void* data, size_t size)
        : bytes_(static_cast<const uint8_t*>(data), static_cast<const uint8_t*>(data) + size)
    {
    }
    LPVOID GetBufferPointer() override { return bytes_.data(); }
    DWORD GetBufferSize() override { return DWORD(bytes_.size()); }

protected:
    bool Answers(REFIID riid) const override { return riid == IID_ID3DXBuffer; }

private:
    std::vector<uint8_t> bytes_;
};

} // namespace

} // namespace d3d9sw

HRESULT WINAPI D3DXAssembleShader(LPCSTR pSrcData, UINT SrcDataLen, const D3DXMACRO*, LPD3DXINCLUDE, DWORD,
                                  LPD3DXBUFFER* ppShader, LPD3DXBUFFER* ppErrorMsgs)
{
    if (ppShader)
        *ppShader = nullptr;
    if (ppErrorMsgs)
        *ppErrorMsgs = nullptr;
    if (!pSrcData || !ppShader)
        return D3DERR_INVALIDCALL;
    size_t length = ::strnlen(pSrcData, SrcDataLen);
    d3d9sw::AssembledShader result = d3d9sw::AssembleVertexShader(pSrcData, length);
    if (!result.ok) {
        if (ppErrorMsgs)
            *ppErrorMsgs = new d3d9sw::Buffer(result.errors.c_str(), result.errors.size() + 1);
        return D3DXERR_INVALIDDATA;
    }
    *ppShader = new d3d9sw::Buffer(result.tokens.data(), result.tokens.size() * sizeof(uint32_t));
    return D3D_OK;
}
