<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="ru">
<context>
    <name>CTIMainWindow</name>
    <message>
        <source>Conversations</source>
        <translation>Разговоры</translation>
    </message>
</context>
</TS>
