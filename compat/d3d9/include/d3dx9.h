#pragma once
// The one D3DX service the renderer uses: assembling vs_1_1 vertex shader text into the
// token stream that IDirect3DDevice9::CreateVertexShader accepts.
#include "d3d9.h"

#define _FACDD 0x876
#define MAKE_DDHRESULT(code) MAKE_HRESULT(1, _FACDD, code)
#define D3DXERR_INVALIDDATA MAKE_DDHRESULT(2905)

inline constexpr GUID IID_ID3DXBuffer = {0x5a0c0101, 0x6d3b, 0x4e21, {0x9f, 0x31, 0x00, 0x0d, 0x3d, 0x09, 0x01, 0x01}};

struct ID3DXBuffer : IUnknown {
    virtual LPVOID GetBufferPointer() = 0;
    virtual DWORD GetBufferSize() = 0;
};
typedef ID3DXBuffer* LPD3DXBUFFER;

typedef struct _D3DXMACRO {
    LPCSTR Name;
    LPCSTR Definition;
} D3DXMACRO, *LPD3DXMACRO;

// Include handler of the assembler's #include; the renderer's shaders include nothing.
struct ID3DXInclude;
typedef ID3DXInclude* LPD3DXINCLUDE;

#define D3DXSHADER_DEBUG (1 << 0)
#define D3DXSHADER_SKIPVALIDATION (1 << 1)

// Assembles a vs.1.1 program. On success *ppShader holds the tokens; on failure the result
// is D3DXERR_INVALIDDATA and *ppErrorMsgs (when asked for) holds a NUL-terminated text with
// one "(line): error: ..." entry per fault.
HRESULT WINAPI D3DXAssembleShader(LPCSTR pSrcData, UINT SrcDataLen, const D3DXMACRO* pDefines, LPD3DXINCLUDE pInclude,
                                  DWORD Flags, LPD3DXBUFFER* ppShader, LPD3DXBUFFER* ppErrorMsgs);
