// Does nothing: it exists only to carry the exe's resources, so that they can
// be read back from a build configured with another publisher's name.
int main() { return 0; }
