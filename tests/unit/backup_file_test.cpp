// The stem that backups and defaults files are named with.
#include <gtest/gtest.h>

#include "output/backup_file.h"

namespace {

TEST(BackupFileStemTest, MakesAnyNameSafeAsAFileName) {
    const std::pair<const wchar_t*, const wchar_t*> cases[] = {
        {L"My Browser", L"My Browser"}, {L"a<b>c:d\"e|f?g*h", L"a_b_c_d_e_f_g_h"},
        {L"tab\there", L"tab_here"},    {L"con", L"con_"},
        {L"LPT9.x", L"LPT9_.x"},        {L"COM0", L"COM0_"},
        {L"CONSOLE", L"CONSOLE"},       {L"Nul.", L"Nul__"},
        {L"end. .", L"end___"},
        // The superscript digits of Latin-1 name devices too; the others
        // and ten do not.
        {L"lpt0 .x", L"lpt0_ .x"},      {L"COM\u00B9", L"COM\u00B9_"},
        {L"lpt\u00B3.txt", L"lpt\u00B3_.txt"}, {L"LPT\u00B2", L"LPT\u00B2_"},
        {L"COM\u2074", L"COM\u2074"},   {L"COM10", L"COM10"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(BackupFileStem(c.first), c.second) << testing::PrintToString(std::wstring(c.first));
    }
}

}  // namespace
