#pragma once

// One manual support column. The painter keeps a list of them and draws them
// in its pick pass; no flow of the program fills that list yet, so only the
// drawing entry points the painter needs exist.
class DLPSupportStructure {
public:
    virtual ~DLPSupportStructure() = default;
    virtual void RenderUpper(bool pick, float alpha) {}
    virtual void RenderLower(bool pick, float alpha) {}
};
