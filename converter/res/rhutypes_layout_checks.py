"""Writes compile-time checks that the records of the engine's record header, as the compiler
lays them out, have the sizes and member offsets of the type file the converter generated from
the same header. The offsets are worked out here from the type file alone, with the converter's
layout rule: members follow one another with no padding, union members all start at 0, and a
table pointer takes the first 4 bytes of the class that introduces it.

usage: rhutypes_layout_checks.py TYPEFILE OUTPUT.cpp"""
import re
import sys

BUILTIN_SIZES = {
    "pointer": 4, "offset": 2, "float": 4, "double": 8, "unsigned": 4, "signed": 4,
    "unsigned char": 1, "unsigned long": 4, "unsigned int": 4, "unsigned short": 2,
    "signed char": 1, "signed long": 4, "signed int": 4, "signed short": 2, "char": 1,
    "long": 4, "int": 4, "short": 2, "bool": 1, "__int64": 8, "CCRC32": 4,
}
GENERATED = "_rhu_generated_struct_"
HEADER = re.compile(r"^(class|struct|union) __rhuexport (\w+)(?: : public (\w+))?$")
MEMBER = re.compile(r"^\t(.+?) (\*?)\s*(\w+)(?:\[(\d+)\])?(?::\d+)?;")
END = re.compile(r"^\};\t// Size = (\d+)$")


def read_types(path):
    types = {}
    order = []
    current = None
    for line in open(path):
        line = line.rstrip("\r\n")
        header = HEADER.match(line)
        if header:
            current = {"kind": header.group(1), "name": header.group(2), "base": header.group(3),
                       "vtable": False, "members": []}
            continue
        if current is None:
            continue
        if line == "\tvirtual void foobar(void);":
            current["vtable"] = True
        elif END.match(line):
            current["stored_size"] = int(END.match(line).group(1))
            types[current["name"]] = current
            order.append(current["name"])
            current = None
        else:
            member = MEMBER.match(line)
            if member:
                type_text, pointer, name, count = member.groups()
                if type_text.endswith(" *"):
                    type_text, pointer = type_text[:-2], "*"
                current["members"].append({"type": type_text, "pointer": pointer == "*", "name": name,
                                           "count": 1 if count is None else int(count)})
    return types, order


def lay_out(types, name, sizes):
    if name in sizes:
        return sizes[name]
    record = types[name]
    offset = 0
    if record["base"]:
        offset = lay_out(types, record["base"], sizes)
        if record["vtable"] and not types[record["base"]]["vtable"]:
            offset += 4
    elif record["vtable"]:
        offset = 4
    largest = 0
    for member in record["members"]:
        one = 4 if member["pointer"] else BUILTIN_SIZES.get(member["type"]) or lay_out(types, member["type"], sizes)
        member["offset"] = 0 if record["kind"] == "union" else offset
        size = one * member["count"]
        if record["kind"] == "union":
            largest = max(largest, size)
        else:
            offset += size
    sizes[name] = offset + largest
    if sizes[name] != record["stored_size"]:
        sys.exit("%s: the type file says %d bytes, the layout rule gives %d" % (name, record["stored_size"], sizes[name]))
    return sizes[name]


def member_checks(types, record_name, type_name, prefix, base_offset, out):
    record = types[type_name]
    if record["base"]:
        member_checks(types, record_name, record["base"], prefix, base_offset, out)
    for member in record["members"]:
        offset = base_offset + member["offset"]
        nested = member["type"] in types and not member["pointer"]
        if member["name"].startswith(GENERATED):
            # An unnamed nested type: its members are reached as members of the record.
            if nested:
                member_checks(types, record_name, member["type"], prefix, offset, out)
            continue
        path = prefix + member["name"]
        out.append("static_assert(offsetof(rhu::%s, %s) == %d, \"%s.%s\");" % (record_name, path, offset, record_name, path))
        if nested and member["count"] == 1:
            member_checks(types, record_name, member["type"], path + ".", offset, out)


def main():
    types, order = read_types(sys.argv[1])
    sizes = {}
    out = ["// Generated from %s; do not edit." % sys.argv[1],
           "#include \"engine/include/RhuTypes.h\"", "", "#include <cstddef>", "",
           "#pragma GCC diagnostic ignored \"-Winvalid-offsetof\"", ""]
    for name in order:
        lay_out(types, name, sizes)
        if name.startswith(GENERATED):
            continue
        out.append("static_assert(sizeof(rhu::%s) == %d, \"%s\");" % (name, sizes[name], name))
        member_checks(types, name, name, "", 0, out)
    with open(sys.argv[2], "w") as f:
        f.write("\n".join(out) + "\n")


main()
