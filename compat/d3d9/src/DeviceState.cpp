#include "DeviceState.h"

#include <cstring>

namespace d3d9sw {

namespace {

DWORD FloatBits(float value)
{
    DWORD bits;
    std::memcpy(&bits, &value, 4);
    return bits;
}

} // namespace

D3DMATRIX Identity()
{
    D3DMATRIX m;
    std::memset(&m, 0, sizeof m);
    m._11 = m._22 = m._33 = m._44 = 1.0f;
    return m;
}

D3DMATRIX Multiply(const D3DMATRIX& a, const D3DMATRIX& b)
{
    D3DMATRIX r;
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            r.m[i][j] = a.m[i][0] * b.m[0][j] + a.m[i][1] * b.m[1][j] + a.m[i][2] * b.m[2][j] + a.m[i][3] * b.m[3][j];
    return r;
}

float DeviceState::RenderFloat(D3DRENDERSTATETYPE state) const
{
    float value;
    std::memcpy(&value, &render[state], 4);
    return value;
}

void DeviceState::SetDefaults(bool depthBuffer)
{
    std::memset(render, 0, sizeof render);
    render[D3DRS_ZENABLE] = depthBuffer ? D3DZB_TRUE : D3DZB_FALSE;
    render[D3DRS_FILLMODE] = D3DFILL_SOLID;
    render[D3DRS_SHADEMODE] = D3DSHADE_GOURAUD;
    render[D3DRS_ZWRITEENABLE] = TRUE;
    render[D3DRS_LASTPIXEL] = TRUE;
    render[D3DRS_SRCBLEND] = D3DBLEND_ONE;
    render[D3DRS_DESTBLEND] = D3DBLEND_ZERO;
    render[D3DRS_CULLMODE] = D3DCULL_CCW;
    render[D3DRS_ZFUNC] = D3DCMP_LESSEQUAL;
    render[D3DRS_ALPHAFUNC] = D3DCMP_ALWAYS;
    render[D3DRS_FOGSTART] = FloatBits(0.0f);
    render[D3DRS_FOGEND] = FloatBits(1.0f);
    render[D3DRS_FOGDENSITY] = FloatBits(1.0f);
    render[D3DRS_TEXTUREFACTOR] = 0xFFFFFFFF;
    render[D3DRS_CLIPPING] = TRUE;
    render[D3DRS_LIGHTING] = TRUE;
    render[D3DRS_COLORVERTEX] = TRUE;
    render[D3DRS_LOCALVIEWER] = TRUE;
    render[D3DRS_DIFFUSEMATERIALSOURCE] = D3DMCS_COLOR1;
    render[D3DRS_SPECULARMATERIALSOURCE] = D3DMCS_COLOR2;
    render[D3DRS_AMBIENTMATERIALSOURCE] = D3DMCS_MATERIAL;
    render[D3DRS_EMISSIVEMATERIALSOURCE] = D3DMCS_MATERIAL;
    render[D3DRS_MULTISAMPLEANTIALIAS] = TRUE;
    render[D3DRS_COLORWRITEENABLE] = 0xF;
    render[D3DRS_BLENDOP] = D3DBLENDOP_ADD;

    for (int s = 0; s < kStages; ++s) {
        DWORD* st = stage[s];
        std::memset(st, 0, sizeof stage[s]);
        st[D3DTSS_COLOROP] = s == 0 ? D3DTOP_MODULATE : D3DTOP_DISABLE;
        st[D3DTSS_ALPHAOP] = s == 0 ? D3DTOP_SELECTARG1 : D3DTOP_DISABLE;
        st[D3DTSS_COLORARG1] = st[D3DTSS_ALPHAARG1] = D3DTA_TEXTURE;
        st[D3DTSS_COLORARG2] = st[D3DTSS_ALPHAARG2] = D3DTA_CURRENT;
        st[D3DTSS_COLORARG0] = st[D3DTSS_ALPHAARG0] = st[D3DTSS_RESULTARG] = D3DTA_CURRENT;
        st[D3DTSS_TEXCOORDINDEX] = DWORD(s);
    }
    for (int s = 0; s < kSamplers; ++s) {
        DWORD* sm = sampler[s];
        std::memset(sm, 0, sizeof sampler[s]);
        sm[D3DSAMP_ADDRESSU] = sm[D3DSAMP_ADDRESSV] = sm[D3DSAMP_ADDRESSW] = D3DTADDRESS_WRAP;
        sm[D3DSAMP_MAGFILTER] = sm[D3DSAMP_MINFILTER] = D3DTEXF_POINT;
        sm[D3DSAMP_MIPFILTER] = D3DTEXF_NONE;
        sm[D3DSAMP_MAXANISOTROPY] = 1;
    }
    world = view = projection = Identity();
    std::memset(&material, 0, sizeof material);
    lights.clear();
}

} // namespace d3d9sw
