#pragma once

// The numbers that name a language in messages, in the label loader and in
// the language file's CPID attributes.
enum CodePage
{
    codePageEnglish = 37,
    codePageChinese = 936
};
