// Layer gtex: sources are globbed from this folder.
namespace { [[maybe_unused]] const int kLayer = 0; }
