// Placeholder entry point; the application proper comes with the main window.
int main() { return 0; }
