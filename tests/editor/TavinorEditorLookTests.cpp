#include "TavinorEditorTestSupport.h"

using namespace EditorTest;

class TavinorEditorLook : public EditorFixture
{
};

TEST_F(TavinorEditorLook, States)
{
    screenshot("editor-default");
}
