#pragma once

// One manual support column. The painter keeps a list of them and draws them
// in its pick pass; no flow of the program fills that list yet, so only the
// drawing entry points the painter needs exist.
class DLPSupportStructure {
public:
    // Start-up of the 3D view: the attachment template shapes, then the
    // default parameter preset. Empty until support editing fills them.
    static void ImportAttachmentDataFromStls() {}
    static void FillRegistryDefaults(bool, char const*) {}

    virtual ~DLPSupportStructure() = default;
    virtual void RenderUpper(bool pick, float alpha) {}
    virtual void RenderLower(bool pick, float alpha) {}
};
