/*
** Entry point of Dorvex.
*/
int main() { return 0; }
