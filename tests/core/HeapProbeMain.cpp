// A program with the engine heap but no heap-size resource: its very first allocation must
// end it with the missing-resource fatal error.
#include <cstdio>
#include <string>

int main()
{
    std::string* text = new std::string(100, 'x');
    std::printf("allocated without a heap resource: %s\n", text->c_str());
    return 0;
}
