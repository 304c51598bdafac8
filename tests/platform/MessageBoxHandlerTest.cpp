#include <commonvcqx/platform/MessageBoxHandler.h>

#include <gtest/gtest.h>
#include <string>

namespace {

std::string seenText, seenCaption;
UINT seenType = 0;

int AnswerNo(const char* text, const char* caption, UINT type) {
    seenText = text;
    seenCaption = caption;
    seenType = type;
    return IDNO;
}

}  // namespace

TEST(MessageBoxHandlerTest, DefaultAnswersWithTheDefaultButton) {
    struct Case {
        UINT type;
        int answer;
    } cases[] = {
        {MB_OK, IDOK},
        {MB_OKCANCEL, IDOK},
        {MB_YESNO | MB_ICONQUESTION, IDYES},
        {MB_YESNOCANCEL, IDYES},
        {MB_YESNO | MB_DEFBUTTON2, IDNO},
        {MB_YESNOCANCEL | MB_DEFBUTTON3, IDCANCEL},
        {MB_RETRYCANCEL, IDRETRY},
        {MB_ABORTRETRYIGNORE | MB_DEFBUTTON3, IDIGNORE},
        {MB_OK | MB_DEFBUTTON3, IDOK},  // no third button: the first
        {MB_YESNO | MB_DEFBUTTON3, IDYES},
        {0xE | MB_DEFBUTTON2, IDOK},  // unknown kind
        {MB_OKCANCEL | 0xF00, IDOK},  // unknown default button
    };
    for (const Case& c : cases) EXPECT_EQ(DefaultMessageBoxAnswer(c.type), c.answer) << c.type;
    testing::internal::CaptureStderr();
    EXPECT_EQ(ShowMessageBox("Disk is full", "Save", MB_OKCANCEL), IDOK);
    EXPECT_NE(testing::internal::GetCapturedStderr().find("Disk is full"), std::string::npos);
}

TEST(MessageBoxHandlerTest, HostHandlerReplacesAndRestores) {
    TMessageBoxHandler previous = SetMessageBoxHandler(&AnswerNo);
    EXPECT_EQ(ShowMessageBox("Overwrite?", nullptr, MB_YESNO), IDNO);
    EXPECT_EQ(seenText, "Overwrite?");
    EXPECT_EQ(seenCaption, "");
    EXPECT_EQ(seenType, MB_YESNO);
    EXPECT_EQ(SetMessageBoxHandler(nullptr), &AnswerNo);
    SetMessageBoxHandler(previous);
    testing::internal::CaptureStderr();
    EXPECT_EQ(ShowMessageBox(nullptr, nullptr, MB_YESNO), IDYES);
    testing::internal::GetCapturedStderr();
}
