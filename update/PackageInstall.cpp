#include "PackageInstall.h"

#include "NewFile.h"
#include "PackageUnpacker.h"
#include "ZipDirectory.h"

namespace
{
    // The folder a package is unpacked into, made new beside the target:
    // "app(2)" and on when the target exists, else "app_new", "app_new(2)"
    // and on. A name that is taken, even by a link that leads nowhere, is
    // passed over. None when no folder can be made.
    juce::File makeUnzipFolder (const juce::File& targetFolder, bool targetExists)
    {
        const auto base = targetExists ? targetFolder : targetFolder.getSiblingFile (targetFolder.getFileName() + "_new");
        const auto stem = base.getFileNameWithoutExtension();

        for (int number = targetExists ? 2 : 1; number < 1000; ++number)
        {
            const auto folder = number == 1 ? base
                                            : base.getSiblingFile (stem + "(" + juce::String (number) + ")" + base.getFileExtension());

            switch (platform::makeNewFolder (folder))
            {
                case platform::NewFolder::made:      return folder;
                case platform::NewFolder::nameTaken: break;
                case platform::NewFolder::failed:    return {};
            }
        }

        return {};
    }
}

juce::Result PackageInstall::install (const juce::MemoryBlock& data, const juce::File& targetFolder,
                                      const std::function<bool()>& shouldStop, const FolderMove& moveFolder)
{
    // The directory's names are checked as bytes before the framework's
    // ZipFile makes strings of them.
    std::vector<ZipDirectory::Entry> directory;
    const auto read = ZipDirectory::read (data, directory);

    if (read.failed())
        return read;

    juce::MemoryInputStream input (data, false);
    juce::ZipFile zip (input);

    if (zip.getNumEntries() == 0)
        return juce::Result::fail ("The downloaded file wasn't a valid JUCE file!");

    const auto crcs = ZipDirectory::crcs (zip, directory);
    const auto checked = PackageUnpacker::check (zip, crcs, maxUnpackedBytes);

    if (checked.failed())
        return checked;

    // The package is always unpacked beside the target first, so that one that
    // does not unpack completely never takes the target's place.
    const bool targetExists = targetFolder.exists();
    const auto unzipTarget = makeUnzipFolder (targetFolder, targetExists);

    if (unzipTarget == juce::File())
        return juce::Result::fail ("Couldn't create a folder to unzip the new version!");

    const auto unzipped = PackageUnpacker::unpack (zip, crcs, unzipTarget, maxUnpackedBytes, shouldStop);

    if (unzipped.failed())
    {
        unzipTarget.deleteRecursively();
        return unzipped;
    }

    auto oldFolder = targetFolder.getSiblingFile (targetFolder.getFileNameWithoutExtension() + "_old");

    if (targetExists)
    {
        if (oldFolder.exists())
            oldFolder = oldFolder.getNonexistentSibling();

        if (! moveFolder (targetFolder, oldFolder))
        {
            unzipTarget.deleteRecursively();
            return juce::Result::fail ("Could not remove the existing folder!");
        }
    }

    if (! moveFolder (unzipTarget, targetFolder))
    {
        // The previous contents go back under the target's name first, so
        // that a failed install leaves the target as it was.
        const bool restored = ! targetExists || moveFolder (oldFolder, targetFolder);
        unzipTarget.deleteRecursively();

        if (! restored)
            return juce::Result::fail ("Could not overwrite the existing folder! The previous contents are in "
                                       + oldFolder.getFullPathName());

        return juce::Result::fail ("Could not overwrite the existing folder!");
    }

    return juce::Result::ok();
}
