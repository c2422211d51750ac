int tavinorPlaceholder() { return 0; }
