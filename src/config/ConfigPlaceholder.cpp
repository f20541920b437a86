namespace vantrel { int ConfigPlaceholder() { return 0; } }
