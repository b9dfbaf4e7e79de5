#pragma once
// Built-in resources that packed data and code attach by name: each static instance is
// published in the packed-data symbol table under its name while the library loads.
class CRender;
class CVector4;

struct NamedResourcePublisher {
    NamedResourcePublisher(const char* name, void* resource);
};

// The colour of a built-in shape: white times the render's colour (components 0 to 1) when it
// has one, in the 0 to 255 of primitive colours.
CVector4 ShapeColour(const CRender* render);
