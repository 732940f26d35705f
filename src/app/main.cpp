// Keylume's entry point. Start-up and the windows plug in here as they are built.
int main() {
    return 0;
}
