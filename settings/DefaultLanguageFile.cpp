#include "LabelLoader.h"

namespace
{
    struct DefaultEntry
    {
        const char* section;
        const char* key;
        const char* english;
        const char* chinese;    // UTF-8
    };

    // In document order. The file's "Download Updates" differs from the built-in "Download updates".
    const DefaultEntry defaultEntries[] =
    {
        { "MENU", "about",             "About",                  u8"关于" },
        { "MENU", "devaddr",           "Device address",         u8"设备地址" },
        { "MENU", "exit",              "Exit",                   u8"退出" },
        { "MENU", "file",              "File",                   u8"文件" },
        { "MENU", "help",              "Help",                   u8"帮助" },
        { "MENU", "language",          "Language",               u8"语言" },
        { "MENU", "protocol",          "Protocol",               u8"协议" },
        { "MENU", "viewhelp",          "View help",              u8"帮助说明" },
        { "MENU", "check",             "Check for updates...",   u8"检测更新..." },
        { "PARA", "comclose",          "Close",                  u8"关闭" },
        { "PARA", "comopen",           "Open",                   u8"打开" },
        { "PARA", "devname",           "Device name:",           u8"器件名称:" },
        { "PARA", "productdate",       "Product date:",          u8"生产日期:" },
        { "PARA", "releasedate",       "Release date:",          u8"编译日期:" },
        { "PARA", "path",              "Firmware path:",         u8"固件路径:" },
        { "PARA", "com",               "COM",                    u8"串口" },
        { "PARA", "update",            "Update",                 u8"升级" },
        { "PARA", "succeedcnt",        "Finish counter:",        u8"成功次数:" },
        { "PARA", "failcnt",           "Fail counter:",          u8"失败次数:" },
        { "PARA", "comport",           "COM port:",              u8"COM口:" },
        { "PARA", "baudrate",          "Baud rate:",             u8"波特率:" },
        { "PARA", "start",             "Start",                  u8"开始" },
        { "PARA", "stop",              "Stop",                   u8"停止" },
        { "PARA", "about",             "About",                  u8"关于" },
        { "TIP",  "downloadnewver",    "Downloading new version", u8"下载最新版本" },
        { "TIP",  "updatetips",        "Updates tips",           u8"更新提示" },
        { "TIP",  "askdownloadnewver", "Do you need to download the update for the latest version?", u8"发现新版本是否需要下载更新?" },
        { "TIP",  "alreadynewver",     "The current version is already the latest version!",         u8"当前版本已经是最新版本了！" },
        { "TIP",  "downloadupdates",   "Download Updates",       u8"下载升级" }
    };
}

void addLanguageEntry (juce::XmlElement& section, const juce::String& key,
                       const juce::String& english, const juce::String& chinese)
{
    auto* entry = section.createNewChildElement (key);

    auto* englishText = entry->createNewChildElement ("LOCAL");
    englishText->setAttribute ("CPID", "0037");
    englishText->setAttribute ("name", english);

    auto* chineseText = entry->createNewChildElement ("LOCAL");
    chineseText->setAttribute ("CPID", "0936");
    chineseText->setAttribute ("name", chinese);
}

void writeDefaultLanguageFile()
{
    juce::XmlElement root ("brenlow_Flintmoor");
    root.createNewChildElement ("Version")->setAttribute ("Version", languageFileVersion);

    for (auto* sectionName : { menuSectionName, pageSectionName, updateSectionName })
    {
        auto* section = root.createNewChildElement (sectionName);

        for (auto& e : defaultEntries)
            if (juce::String (e.section) == sectionName)
                addLanguageEntry (*section, e.key, e.english, juce::String::fromUTF8 (e.chinese));
    }

    // Non-ASCII characters come out as decimal character references, so the text is ASCII.
    juce::XmlElement::TextFormat format;
    format.customEncoding = "UTF-8";
    format.lineWrapLength = 60;
    format.newLineChars = "\r\n";

    saveLanguageFile (root.toString (format));
}
