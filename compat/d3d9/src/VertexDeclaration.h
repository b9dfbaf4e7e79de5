#pragma once
// The layout of a vertex across the streams, from a declaration or an FVF code.
#include <vector>

#include "ComObject.h"

namespace d3d9sw {

class VertexDeclaration : public ComObject<IDirect3DVertexDeclaration9> {
public:
    VertexDeclaration(IDirect3DDevice9* device, std::vector<D3DVERTEXELEMENT9> elements)
        : device_(device), elements_(std::move(elements))
    {
    }

    HRESULT GetDevice(IDirect3DDevice9** ppDevice) override;

    const std::vector<D3DVERTEXELEMENT9>& Elements() const { return elements_; }
    const D3DVERTEXELEMENT9* Find(BYTE usage, BYTE usageIndex) const;

    // Reads the elements up to the end marker; false for a malformed list (bad stream,
    // type or usage, or no end marker within the longest declaration allowed).
    static bool Parse(const D3DVERTEXELEMENT9* list, std::vector<D3DVERTEXELEMENT9>& out);
    // The stream-0 layout an FVF code describes, and its stride.
    static std::vector<D3DVERTEXELEMENT9> FromFVF(DWORD fvf, UINT& stride);
    static UINT TypeSize(BYTE type);

private:
    IDirect3DDevice9* device_;
    std::vector<D3DVERTEXELEMENT9> elements_;
};

} // namespace d3d9sw
