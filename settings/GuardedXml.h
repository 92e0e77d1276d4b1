#pragma once

#include <juce_core/juce_core.h>

#include <memory>

// Bounds on a document written by someone else. Our own documents are a few
// kilobytes and four levels deep.
constexpr size_t maxGuardedXmlBytes = 1024 * 1024;
constexpr int maxGuardedXmlDepth = 64;

// An XML document written by someone else: bytes as read from a file or the network, in
// UTF-8 (with or without BOM) or UTF-16 with BOM. Null when unreadable: bad encoding,
// a document type declaration, nesting deeper than a bound, larger than a bound, or not XML.
std::unique_ptr<juce::XmlElement> parseGuardedXml (const juce::MemoryBlock& bytes);
std::unique_ptr<juce::XmlElement> readGuardedXmlFile (const juce::File& file);

// The same for a text already decoded (taken as its UTF-8 bytes).
std::unique_ptr<juce::XmlElement> parseGuardedXml (const juce::String& text);
