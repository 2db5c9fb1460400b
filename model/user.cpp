#include "user.h"

User::User()
    : Model<User>(QStringLiteral("User"))
{
}
