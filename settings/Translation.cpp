#include "Translation.h"

#include "CodePage.h"

const TranslationPair translationPairs[numTranslationPairs] =
{
    { "Cancel",                      u8"取消" },
    { "Select update file:",         u8"选择固件文件:" },
    { "Progress",                    u8"任务进度" },
    { "Firmware download finish!",   u8"固件下载成功!" },
    { "Firmware download fail!",     u8"固件下载失败" },
    { "Firmware download",           u8"固件下载" },
    { "Firmware cancel!",            u8"取消固件下载" },
    { "OK",                          u8"确定" },
    { "Downloading...",              u8"下载中..." },
    { "Start firmware download",     u8"开始固件下载" },
    { "Loading firmware file fail!", u8"加载固件文件失败!" },
    { "Firmware file cs error!",     u8"固件文件校验错误!" },
    { "Firmware tag error!",         u8"固件目标错误!" },
    { "Firmware file path error!",   u8"固件文件路径错误!" },
    { "The file path is null!",      u8"固件路径不能为空!" },
    { "The file does not exist!",    u8"固件文件不存在!" },
    { "Com port is null!",           u8"COM口不能为空!" },
    { "Baudrate is null!",           u8"波特率不能为空!" },
    { "Open COM fail!!",             u8"COM口打开失败!" },
    { "The file does not exist,Do you want to apply original file?", u8"固件文件不存在,是否加载初始文件?" },
    { "The file read fail,Do you want to apply original file?",      u8"固件文件读取失败,是否加载初始文件?" },
    { "loading original file",       u8"加载初始文件" },
    { "loading new file",            u8"加载新文件" },
    { "The file has been changed,Do you want to apply new file?",    u8"固件文件被更改，是否加载新文件?" },
    { "Tips",                        u8"提示" },
    { "file:",                       u8"文件:" }
};

juce::String chineseTranslationText()
{
    juce::StringArray lines { "language: Chinese", "countries : fr be mc ch lu" };

    for (auto& pair : translationPairs)
        lines.add ("\"" + juce::String (pair.english) + "\" = \"" + juce::String::fromUTF8 (pair.chinese) + "\"");

    return lines.joinIntoString ("\r\n");
}

int setLanguage (const juce::LocalisedStrings* placeholder, int codePage)
{
    if (placeholder == nullptr)
        return -1;

    // The framework owns an installed table and deletes the previous one.
    juce::LocalisedStrings::setCurrentMappings (codePage == codePageChinese
                                                    ? new juce::LocalisedStrings (chineseTranslationText(), false)
                                                    : nullptr);
    return 0;
}
