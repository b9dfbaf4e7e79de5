#include "VertexDeclaration.h"

namespace d3d9sw {

HRESULT VertexDeclaration::GetDevice(IDirect3DDevice9** ppDevice)
{
    if (!ppDevice || !device_)
        return D3DERR_INVALIDCALL;
    *ppDevice = device_;
    device_->AddRef();
    return D3D_OK;
}

const D3DVERTEXELEMENT9* VertexDeclaration::Find(BYTE usage, BYTE usageIndex) const
{
    for (const D3DVERTEXELEMENT9& e : elements_)
        if (e.Usage == usage && e.UsageIndex == usageIndex)
            return &e;
    return nullptr;
}

UINT VertexDeclaration::TypeSize(BYTE type)
{
    switch (type) {
    case D3DDECLTYPE_FLOAT1:
        return 4;
    case D3DDECLTYPE_FLOAT2:
        return 8;
    case D3DDECLTYPE_FLOAT3:
        return 12;
    case D3DDECLTYPE_FLOAT4:
        return 16;
    case D3DDECLTYPE_D3DCOLOR:
    case D3DDECLTYPE_UBYTE4:
    case D3DDECLTYPE_SHORT2:
    case D3DDECLTYPE_UBYTE4N:
        return 4;
    case D3DDECLTYPE_SHORT4:
        return 8;
    default:
        return 0;
    }
}

bool VertexDeclaration::Parse(const D3DVERTEXELEMENT9* list, std::vector<D3DVERTEXELEMENT9>& out)
{
    out.clear();
    for (int i = 0; i < MAXD3DDECLLENGTH + 1; ++i) {
        const D3DVERTEXELEMENT9& e = list[i];
        if (e.Stream == 0xFF)
            return true;
        if (e.Stream >= 16 || TypeSize(e.Type) == 0 || e.Usage > D3DDECLUSAGE_SAMPLE)
            return false;
        out.push_back(e);
    }
    return false;
}

std::vector<D3DVERTEXELEMENT9> VertexDeclaration::FromFVF(DWORD fvf, UINT& stride)
{
    std::vector<D3DVERTEXELEMENT9> elements;
    WORD offset = 0;
    auto add = [&](BYTE type, BYTE usage, BYTE index) {
        elements.push_back({0, offset, type, D3DDECLMETHOD_DEFAULT, usage, index});
        offset = WORD(offset + TypeSize(type));
    };
    switch (fvf & D3DFVF_POSITION_MASK) {
    case D3DFVF_XYZ:
        add(D3DDECLTYPE_FLOAT3, D3DDECLUSAGE_POSITION, 0);
        break;
    case D3DFVF_XYZRHW:
        add(D3DDECLTYPE_FLOAT4, D3DDECLUSAGE_POSITIONT, 0);
        break;
    default:
        break;
    }
    if (fvf & D3DFVF_NORMAL)
        add(D3DDECLTYPE_FLOAT3, D3DDECLUSAGE_NORMAL, 0);
    if (fvf & D3DFVF_PSIZE)
        add(D3DDECLTYPE_FLOAT1, D3DDECLUSAGE_PSIZE, 0);
    if (fvf & D3DFVF_DIFFUSE)
        add(D3DDECLTYPE_D3DCOLOR, D3DDECLUSAGE_COLOR, 0);
    if (fvf & D3DFVF_SPECULAR)
        add(D3DDECLTYPE_D3DCOLOR, D3DDECLUSAGE_COLOR, 1);
    UINT sets = (fvf & D3DFVF_TEXCOUNT_MASK) >> D3DFVF_TEXCOUNT_SHIFT;
    for (UINT i = 0; i < sets && i < 8; ++i) {
        static const BYTE kTypes[4] = {D3DDECLTYPE_FLOAT2, D3DDECLTYPE_FLOAT3, D3DDECLTYPE_FLOAT4, D3DDECLTYPE_FLOAT1};
        add(kTypes[(fvf >> (16 + 2 * i)) & 3], D3DDECLUSAGE_TEXCOORD, BYTE(i));
    }
    stride = offset;
    return elements;
}

} // namespace d3d9sw
