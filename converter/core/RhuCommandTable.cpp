#include "converter/core/CRhuParser.h"

// The data commands, in the order the usage listing shows them. Synopses and help texts are the
// converter's own usage documentation and are printed as they stand.
const CommandRow CRhuParser::DataCommands[] = {
    {"Animation", static_cast<CommandHandler>(&CRhuParser::Animation),
     "[label AnimFile skeletonfile|SkeletonLabel] [RATE=n]",
     "Loads a 3d animation (.lws) file. If the skeleton doesn't exist, it'll create it from the skel"
     " file. Skeleton can be a NAME for a named skeleton if y'all wanna use it that way. The optional"
     " RATE param defines the actual framerate for the animation, and will override the one in the source"
     " file. RATE is PERSISTANT,-- it can be thrown at any time, and will carry onwards throughout the"
     " script. Set RATE=0 to resume using the rate indicated in the sourcefile.",
     0},
    {"AnimMultiplier", static_cast<CommandHandler>(&CRhuParser::AnimMultiplier), "value",
     "Multiplies all positional data in an animation by the multiplier. It's a hack, really.", 0},
    {"AnimTable", static_cast<CommandHandler>(&CRhuParser::AnimTable), "label [blockID] {blocks}",
     "Defines a multidimentinal table of stuff. Blocks are comma-seperated lists of ZEL addresses or"
     " additional tables. This one can get really complex. An example of a 2 dimentional table"
     " is:\nAnimTable label\n{\n\tANIM1 { One, Two, Three }\n\tANIM2 { Aaaa, Bbbb, Ccccc, dee, eeee,"
     " efff}\n}\nNote that the BlockId will merely change the ordering, and possibly reserve space in the"
     " table. BlockID must match a defined constant from the types file.",
     0},
    {"Array", static_cast<CommandHandler>(&CRhuParser::AnimTable), "label [blockID] {blocks}",
     "Defines a multidimentional array of stuff -- exactly the same as animtable, but with a more generic"
     " name, AND a block may contain a literal string (quoted, which is a const char * in the output)",
     0},
    {"Axis", static_cast<CommandHandler>(&CRhuParser::Axis), "AxisSpecifier [CULL_FRONT | CULL_BACK]",
     "Defines output axis orientation, Specifier us North,South,East,West,Up,Down, seperated by commas!"
     " In order of XYZ. So Dorn format is East,South,Up since +X is east, +Y is south and +Z is up.The"
     " optional cull flags define the default culling behaviour for single-sided polys.",
     0},
    {"Binary", static_cast<CommandHandler>(&CRhuParser::Binary), "label binaryfile",
     "Loads up a big ol chunk of binary data, lables it, and outputs it. DO NOT ABUSE THIS FEATURE!!!", 0},
    {"ColorCorrect", static_cast<CommandHandler>(&CRhuParser::ColorCorrect),
     "[Gamma=gammaval] [HSV+=nh,ns,nv] [HSV*=nh,ns,nv] ",
     "Provides colour correction data. Can correct in HSV space, multiplies or adds..", 0},
    {"DataMap", static_cast<CommandHandler>(&CRhuParser::DataMap), "[Label] Sourcefile []",
     "Loads a bitmap/texture but dumps a raw datamap out, for use by various engine systems...", 0},
    {"Diagnostic", static_cast<CommandHandler>(&CRhuParser::Diagnostic),
     "[anim][data][maps][normals][nosmoothing][params][parsetree][sprites][types]",
     "Enables specific diagnostic output, but ONLY if we're more verbose than normal. All diagnostic"
     " features are position sensitive in the script,and should NEVER be used for production - they are"
     " only to help diagnose a tool problem. 'sprites' will cause bitmaps to be output for each stage of"
     " sprite processing - these bitmaps will be output to the current directory. Be careful, obviously"
     " throwing the diag on sprites can really trash out your drive.",
     0},
    {"DefaultParams", static_cast<CommandHandler>(&CRhuParser::Params),
     "[Label] CreationType [ : DerivedFrom] \"{\" {type param = value} \"}\"",
     "Defines default data to stuff into any object that is created. Syntax similar to a C++ struct."
     " Label is optional, as well as a derivation specifer. Any derivation must occur in the same"
     " sourcefile as the thing derived-from. You may derive from an unlabeled DefaultParams by just using"
     " creation type (default label). This WILL NOT work for EmbeddedParams or LayoutParams. Anon"
     " embedded creates are allowed, and are derivable, duplicated anon embedded creates will not occur"
     " in derivations. Valid types are int, float, xxx *,id, zellabel, embedded, and char *.\n'embedded'"
     " can be used to define a create-when-used child object. The value of an embedded type is the label"
     " of an EmbeddedParams ZEL structure. You cannot have multiple identical embedded definitions unless"
     " they are anon. (The labels must be different for each one). \n\n'id' will receive the CRC32 of the"
     " value string passed\n\n'zellabel' is exactly the same as ID, except for if there is no value"
     " string passed, the CRC32 is of the label of the parameter block as written to the zel file. This"
     " is useful in ID-ing components that come from zel files. 'zellabel' is derivable, but for any"
     " derivation it will be the label of the derived parameter block. Obviously, this is far more useful"
     " for embedded or layout parameter blocks. if a value is specified, it IS NOT carried to derived"
     " param blocks - the specified value is only valid for the block it is defined in - derived blocks"
     " will revert to being set to thier own label.\n\n'char *' syntax is: 'char *booger=\"constant"
     " string\"' creates a constant string and points booger at it. 'char *booger=filename' Will create a"
     " string from a file, and point booger at it. 'char *booger=SomeLabel' points booger at some label -"
     " same as C++ really.",
     0},
    {"EmbeddedParams", static_cast<CommandHandler>(&CRhuParser::Params),
     "Label CreationType [ : DerivedFrom] \"{\" {type param = value} \"}\"",
     "Defines an object to create as a child - type will be CreationType - and specific data to stuff"
     " into the created object. Note syntax identical to DefaultParams except that label is necessary.",
     0},
    {"Emitter", static_cast<CommandHandler>(&CRhuParser::Emitter), "label [ : DerivedFrom] \"{\" {params} \"}\"",
     "Defines a block of particle emmiter parameters. Ranges are optional (set min only if ya want) All"
     " params are optional, but it just wont work if you forget somethin important. Parameters"
     " are\n\tVector      x,y,z        Spawning axis\n\tArpetureIn  min,max,bias Inclusive spawning cone"
     " (first one)\n\tArpetureEx  min,max,bias Exclusive spawning cone (second one)\n\tEllipse     x,y,z "
     "       Spawning Ellipse Volume\n\tVelocity    min,max,bias Initial Velocity\n\tPeriod     "
     " min,max,bias Time between Emissions\n\tCount       min,max,bias Number of Particles to"
     " Spawn\n\tLifespan    min,max,bias Time until next Emitter\n\tParticle    name         Particle to"
     " emit\n\tEmitter     name         Next emmiter in the 'chain",
     0},
    {"Particle", static_cast<CommandHandler>(&CRhuParser::Particle), "label [ : DerivedFrom] \"{\" {params} \"}\"",
     "Defines a block of particle parameters - particles are generated by emmiters. Parameters"
     " are\n\tAbsorb      degree       Amount a ground collision slows particle\n\tAdditive\t  "
     " 0/1\n\tAlpha       0/1\n\tCollides    0/1          Toggles terrain collision checking\n\tFacing   "
     "   x,y,z        Camera-facing Toggle (1 or 0)\n\tFlocking    x,y,z\t\tDetermines attaction per"
     " axis\n\tGravity     val          Gravity Scalar\n\tIsPathStyle 0/1          Render style (Particle"
     " or Path)\n\tLifespan    min,max,bias Time to next ParticleDef or Death\n\tMaxColor    r,g,b,a     "
     " max color\n\tMaxDamp     x,y,z        Max Axial Velocity Reduction\n\tMaxSpin     x,y,z        Max"
     " Axial Rotation\n\tMinColor    r,g,b,a      Min color\n\tMinDamp     x,y,z        Min Axial"
     " Velocity Reduction\n\tMinSpin     x,y,z        Min Axial Rotation\n\tParticle    name         Next"
     " Particle in the chain\n\tScale       min,max,bias Axial Uniform Scale of Size\n\tSize        x,y,z"
     "        Axial Dimensions\n\tTexture     name         Texture name (or whatever ZEL ptr)\n\tZBuffer "
     "    0/1\n\tZWrite      0/1\n",
     0},
    {"Event", static_cast<CommandHandler>(&CRhuParser::Event),
     "Label timestamp MessageType [targetzellabel] {\"{\"type param = value\"}\"}",
     "Creates a single event (a binary tagged message). if param is char *, value can be quotedstring", 0},
    {"EventScript", static_cast<CommandHandler>(&CRhuParser::EventScript), "Label [basetime] [loopcount]",
     "Creates an event script (a chain of events). ALL FOLLOWING events will 'belong' to this script,"
     " until we run out of sourcefile, or another EventScript command is encountered.basetime gives a"
     " time to start playback of the script",
     0},
    {"LayoutParams", static_cast<CommandHandler>(&CRhuParser::Params),
     "[Label] CreationType [ : DerivedFrom]\"{\" {type param = value} \"}\"",
     "Defines an object to create as a result of ZEL load, and specific data to stuff into the created"
     " object. Same syntax as DefaultParams, except player=n syntax is allowed to set player ID.",
     0},
    {"VeskTemplateParams", static_cast<CommandHandler>(&CRhuParser::Params),
     "Label CreationType [ : DerivedFrom]\"{\" {type param = value} \"}\"",
     "Defines an object to create from vesk. Useful for adding specia 'predefined' types to vesk.", 0},
    {"Font", static_cast<CommandHandler>(&CRhuParser::Font),
     "Label sourcefile ASCIIStart SpaceSize Kerning leading [SCREEN|WORLD][NOALPHA | ALPHA | ALPHA1]",
     "Defines a font. Sourcefile is a mysterious format stolen from Dorn.", 0},
    {"ImplicitTextures", static_cast<CommandHandler>(&CRhuParser::ImplicitTextures), "=ON|=OFF",
     "Disables/enables any and all implicit texture loading. Don't forget the = sign! If off, all"
     " textures must be explicitly defined, or externally available.",
     0},
    {"Include", static_cast<CommandHandler>(&CRhuParser::Include), "<filename>",
     "Just like C++, #include <filename> (and you need the #)", 0},
    {"Hack", static_cast<CommandHandler>(&CRhuParser::Hack), "maps",
     "Enables hacks. parameter is which hack is enabled. Don't use this..", 0},
    {"LoadZel", static_cast<CommandHandler>(&CRhuParser::LoadZel), "FileName", "Loads another ZEL file at runtime.", 0},
    {"LodMap", static_cast<CommandHandler>(&CRhuParser::LodMap), "\"{\" {lodindex\",\"distance} \"}\"",
     "Maps specific LOD indicies to distances from the camera. Use 0 for the distance to ignore it.", 0},
    {"Logo", static_cast<CommandHandler>(&CRhuParser::Logo), "label sourcefile",
     "Sets up a simple bitmap for use as a splash or title screen. Sourcefile should be some sort of"
     " bitmap file.",
     0},
    {"NoCompression", static_cast<CommandHandler>(&CRhuParser::NoCompression), "",
     "Disables compression for the ZEL output, all formats, all platforms, etc... Use for uncompressable"
     " files",
     0},
    {"Map", static_cast<CommandHandler>(&CRhuParser::Map), "label scalefactor sourcefile",
     "Imports a ORVEL map file to use as a single map. Scalefactor is meters per tile.", 0},
    {"Material", static_cast<CommandHandler>(&CRhuParser::Material),
     "label { [texturespecs] | \n\tSPECULAR{specmasktex,specmaptex} |"
     " \n\tENVIRONMENT{envmasktex,envmaptex} }",
     "Defines a Material alias description for use in subsequent LW imports.", 0},
    {"Mesh", static_cast<CommandHandler>(&CRhuParser::Mesh),
     "label sourcefile [BILINEAR[=ON|=OFF]] [SORT=SOLID|ALPHA]\n\t[ZBUFFER[=ON|=OFF]] [ZWRITE[=ON|=OFF]]",
     "Loads a 3d mesh from the indicated source file.", 0},
    {"Meshformat", static_cast<CommandHandler>(&CRhuParser::Meshformat),
     "[COMPRESSVERTS[=ON|OFF]] [COLORVERTS[=ON|OFF]]", "Sets verious mesh options.", 0},
    {"Message", static_cast<CommandHandler>(&CRhuParser::Message), "\"string\"", "Outputs string to the terminal.", 0},
    {"TambleMap", static_cast<CommandHandler>(&CRhuParser::TambleMap), "sourcefile",
     "Imports a Maptamble map file to use as a single map. All data (including the label, scale, etc)"
     " come from the file itself.",
     0},
    {"ParamReport", static_cast<CommandHandler>(&CRhuParser::ParamReport), "filename",
     "Outputs a CSV file that is the report of all the default param commands.", 0},
    {"PS2Icon", static_cast<CommandHandler>(&CRhuParser::PS2Icon), "label sourcefile",
     "Loads a 3d mesh from the indicated source file for use as a PS2 icon. This puppy better have 1"
     " texture, and be less than 400 polys.",
     0},
    {"RecToScript", static_cast<CommandHandler>(&CRhuParser::RecToScript), "binaryfile outputscriptfile",
     "Converts a recorder binary recorded file to a RHU compatable script file. While converting, any"
     " pointer that has the word NEXT in it will point at the next message of this type any pointer that"
     " has the word prev in it, will be wired to point to the previous message. Message Member vars that"
     " start with a _ will NOT be converted.",
     0},
    {"Skeleton", static_cast<CommandHandler>(&CRhuParser::Skeleton),
     "label Skeletonfile [EXTERN] [NOALPHA | ALPHA | ALPHA1]\n\t[ZBUFFER[=ON|=OFF]] [ZWRITE[=ON|=OFF]"
     " [NOANIM] [scale=n]",
     "Loads a 3d skeleton (.lws) file. By default will apply the same file as the default animation,"
     " unless noanim is specified. The scalefactor will output a scale value to the skeleton itself.",
     0},
    {"Sound", static_cast<CommandHandler>(&CRhuParser::Sound),
     "[label] [ONLYONEIGNORE] [ONLYONERESTART] [PLAYWHILEPAUSED] [LOOP]\n\t[STREAMFILE] [PRIORITY=i]"
     " [FADE=x] [VOLUME=x] [PS2ENCODE=n] [NATURALIZE]\n\t[VOICE | MUSIC | EFFECT]\n\t\"{\" {soundfiles}"
     " \"}\" OR soundfile.\n\t OR BASEFADE=x",
     "Loads the sound files indicated (they'll be randomized) and applies the parameters given to them."
     " Soundfiles may be listed before or after the parameters. If label is NOT given, the base filename"
     " of the first soundfile (no path, no extention) will be used. The case of the name will be taken"
     " from the script, not the actual file on the disk. PS2ENCODE will control VAG conversion, (1)"
     " Standard, (2)\tHigh Band, (3)\tLow Band (4) 4bit Straight. If you specify STREAMFILE, we'll just"
     " pop in an entry that has the filename. The filename given should be the filename from the TARGETS"
     " point of view, not from the build process. Default is EFFECT.",
     0},
    {"SuperSkeleton", static_cast<CommandHandler>(&CRhuParser::SuperSkeleton), "label Skeletonfile",
     "Loads a 3d skeleton file with superskeleton (anim proto) modifiers- I.E. No Geometry, no"
     " attachpoints, etc...",
     0},
    {"Sprite", static_cast<CommandHandler>(&CRhuParser::Sprite),
     "[ANIM] label (file | {file | (ANIMFLAG fname|fval) [duration]})\n\t[NOALPHA | ALPHA | ALPHA1]"
     " [SCREEN | WORLD] [LOOP] [SCALE=x[,y]]\n\t[BILINEAR= ON|OFF] [ADDITIVE]"
     " [SORT=SOLID|ALPHA]\n\t[ZBUFFER[=ON|=OFF]] [ZWRITE[=ON|=OFF]] [VIEWSCALE[=ON|=OFF]]",
     "Loads a sprite from the indicated source file(s). Multiple specified sourcefiles cause this sprite"
     " to contain indexed frames, ANIM modifer forces this sprite to be an auto-animating sprite. If only"
     " the x scale is given, it will be applied to both X and Y. duration is the duration of that"
     " particular frame, in seconds. Any duration parameter is in effect until another one is applied -"
     " for the entire script. The SCREEN modifier also forces unfiltered. BILINEAR=ON can be used to"
     " force filtering when SCREEN is applied.",
     0},
    {"String", static_cast<CommandHandler>(&CRhuParser::String), "label \"quoted string constant\" | filename",
     "Loads a string constant, translates it to the current language, labels it with label.", 0},
    {"Texture", static_cast<CommandHandler>(&CRhuParser::Texture),
     "[Label] Sourcefile [same options as sprites,\nEXTERN,MIPS=ON|OFF,MIPFILTER=n,FORCEMIPDROP=n,MIPDROP="
     "n,MIPCOLOR=OFF|ON]",
     "Loads a texture 'raw'. Will override meshes that use the same texture. Same options as sprites. The"
     " EXTERN option will do everyting as 'normal' but won't dump out the texture (Use for sharing"
     " textures between 2 files).MIPS=ON forces generation of Mipmaps, MIPFILTER=n selects MIP filter"
     " type. MIP options carry to all subsequent texture commands.The drop options say how many mip"
     " levels to drop.",
     0},
    {"TranslationFile", static_cast<CommandHandler>(&CRhuParser::TranslationFile), "filename",
     "Sets the filename (Must be an OBDC database) of the translation file. This file MUST have a table"
     " named 'Translation' and that table must have fields named 'english', 'spanish' etc... Same as the"
     " TRANSFILE command line option",
     0},
    {"Trigger", static_cast<CommandHandler>(&CRhuParser::Trigger),
     "Label {Key [modifier] +} [=integerparam (will CRC it if it's !=0)]",
     "Defines an input trigger. The default device is the keyboard. KEY is the actual device/key/button"
     " we want to see.Modifer is UP, DOWN, PRESS, RELEASE. Default is whatever is wired into the"
     " inputdevice headers.\nThe KEY value must match the inputdevice constants that begin with 'INPUT_'."
     " It's unnecessary to put 'INPUT_' into the rhu script, however.",
     0},
    {nullptr, nullptr, nullptr, nullptr, 0},
};
