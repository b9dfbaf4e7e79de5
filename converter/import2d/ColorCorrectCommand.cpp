// The ColorCorrect command: gamma and HSV adjustments for every element created afterwards.
#include "converter/core/CDatabase.h"
#include "converter/core/CRhuParser.h"
#include "converter/core/ConsoleOutput.h"
#include "converter/core/CzParseFrame.h"
#include "converter/core/ParserErrors.h"
#include "qvrn/ParserInterface.h"

#include <cstdlib>

namespace {
// The three numbers of an HSV+= or HSV*= node; false unless there are exactly three.
bool ThreeNumbers(CzParser& parser, int node, float out[3])
{
    ParserInterface* tree = parser.Parser();
    int count = 0;
    for (int child = tree->GetChildNode(node, 0); child; child = tree->GetNextSibling(child), ++count)
        if (count < 3)
            out[count] = static_cast<float>(std::atof(parser.NodeText(child)));
    return count == 3;
}
} // namespace

const char* CRhuParser::ColorCorrect(int node)
{
    if (int gammaNode = FindChild(node, "Gamma", false)) {
        const float gamma = static_cast<float>(std::atof(GetChildText(gammaNode, "Number", true)));
        if (gamma <= 0)
            CurrentFrame()->Report("Neg or zero gamma would be a bad thing", ErrCustom, gammaNode, 0, false);
        m_pDatabase->SetGamma(gamma);
        VerbosePrintf(2, "Gamma set to %g\n", gamma);
    }
    float values[3];
    if (int add = FindChild(node, "HSVAdd", false)) {
        if (!ThreeNumbers(*this, add, values))
            return "Expected 3 params";
        m_pDatabase->SetHSVAdd(values[0], values[1], values[2]);
        VerbosePrintf(2, "HSV add constants set to  %g,%g,%g\n", values[0], values[1], values[2]);
    }
    if (int multiply = FindChild(node, "HSVMult", false)) {
        if (!ThreeNumbers(*this, multiply, values))
            return "Expected 3 params";
        m_pDatabase->SetHSVMultiply(values[0], values[1], values[2]);
        VerbosePrintf(2, "HSV mult constants set to  %g,%g,%g\n", values[0], values[1], values[2]);
    }
    return nullptr;
}
