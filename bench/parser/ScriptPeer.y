%{
// Statement rules of the script forms the benchmark generates, each building its node and
// attaching its arguments as children, as the script grammar's tree has them.
#include "ScriptPeer.h"

#include <cstdio>
#include <vector>

static std::vector<PeerNode>* g_Nodes;

enum Kind { kRoot, kTexture, kMesh, kSound, kSprite, kAnimTable, kString, kLabel, kFileName, kModifier, kValue,
            kFileList, kTableBlock, kIdent, kQuoted, kNumber };

int peerlex();
void peererror(const char*) {}
%}
%define api.prefix {peer}
%code requires {
struct PeerToken { int start, length; };
struct PeerList { int first, last; };
}
%union { PeerToken token; PeerList list; int node; }
%{
static int Node(int kind, PeerToken at)
{
    g_Nodes->push_back(PeerNode{kind, at.start, at.length, -1, -1});
    return (int)g_Nodes->size() - 1;
}
static PeerList One(int node) { return PeerList{node, node}; }
static PeerList Append(PeerList list, int node)
{
    if (list.first < 0)
        return One(node);
    (*g_Nodes)[list.last].nextSibling = node;
    return PeerList{list.first, node};
}
static PeerList Join(PeerList a, PeerList b)
{
    if (a.first < 0)
        return b;
    if (b.first < 0)
        return a;
    (*g_Nodes)[a.last].nextSibling = b.first;
    return PeerList{a.first, b.last};
}
static int Parent(int kind, PeerToken at, PeerList children)
{
    int node = Node(kind, at);
    (*g_Nodes)[node].firstChild = children.first;
    return node;
}
static PeerList g_Statements = {-1, -1};
%}
%token <token> TEXTURE MESH SOUND SPRITE ANIMTABLE STRING QSTRING NUMBER WORD FILENAME
%token <token> '{' '}' '=' ','
%type <list> mods args files idents
%type <node> statement label filename mod file
%%
script: %empty | script statement { g_Statements = Append(g_Statements, $2); };
statement: TEXTURE label filename mods { $$ = Parent(kTexture, $1, Join(Append(One($2), $3), $4)); }
    | MESH label filename mods { $$ = Parent(kMesh, $1, Join(Append(One($2), $3), $4)); }
    | SOUND label filename mods { $$ = Parent(kSound, $1, Join(Append(One($2), $3), $4)); }
    | SPRITE WORD label '{' files '}' mods
        { $$ = Parent(kSprite, $1, Join(Append(Append(One(Node(kModifier, $2)), $3), Parent(kFileList, $4, $5)), $7)); }
    | ANIMTABLE label '{' WORD '{' idents '}' '}'
        { $$ = Parent(kAnimTable, $1, Append(One($2), Parent(kTableBlock, $3, Append(One(Node(kLabel, $4)),
                                                                               Parent(kTableBlock, $5, $6))))); }
    | STRING label QSTRING { $$ = Parent(kString, $1, Append(One($2), Node(kQuoted, $3))); };
label: WORD { $$ = Node(kLabel, $1); };
filename: FILENAME { $$ = Node(kFileName, $1); };
mods: %empty { $$ = PeerList{-1, -1}; } | mods mod { $$ = Append($1, $2); };
mod: WORD { $$ = Node(kModifier, $1); }
    | WORD '=' WORD { $$ = Parent(kModifier, $1, One(Node(kValue, $3))); }
    | WORD '=' NUMBER { $$ = Parent(kModifier, $1, One(Node(kValue, $3))); }
    | WORD '=' args { $$ = Parent(kModifier, $1, $3); };
args: NUMBER ',' NUMBER { $$ = Append(One(Node(kNumber, $1)), Node(kNumber, $3)); }
    | args ',' NUMBER { $$ = Append($1, Node(kNumber, $3)); };
files: file { $$ = One($1); } | files file { $$ = Append($1, $2); };
file: FILENAME NUMBER { $$ = Parent(kFileName, $1, One(Node(kNumber, $2))); };
idents: WORD { $$ = One(Node(kIdent, $1)); } | idents ',' WORD { $$ = Append($1, Node(kIdent, $3)); };
%%

void PeerScanText(const char* text, size_t length);
void PeerScanEnd();

bool PeerParse(const char* text, size_t length, std::vector<PeerNode>& nodes)
{
    nodes.clear();
    g_Nodes = &nodes;
    g_Statements = PeerList{-1, -1};
    Node(kRoot, PeerToken{0, (int)length});
    PeerScanText(text, length);
    const bool parsed = peerparse() == 0;
    PeerScanEnd();
    nodes[0].firstChild = g_Statements.first;
    return parsed;
}
