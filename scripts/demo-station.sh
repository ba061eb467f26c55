# The demo station's configuration, written with vantrelld's own commands: the line on LINE,
# schedule time 1 at HOUR, and device 1 as a switched station with the loggers 1201KV0326
# (position 1) and 1202YR0526 (position 3), whose data files, alarms and run report go by mail
# through the SMTP server SMTP (host:port).
# Usage, once sourced: configure_demo_station VANTRELLD FOLDER LINE SMTP HOUR
configure_demo_station() {
    local station=("$1" --config-dir "$2") folder=$2 line=$3 smtp=$4 hour=$5
    mkdir -p "$folder/data"
    "${station[@]}" line set "$line"
    "${station[@]}" schedule set 1 "$hour"
    "${station[@]}" device set 1 active=1 connection=netw0102 useSwitch=1 \
        serial1=1201KV0326 serial3=1202YR0526 'description=Demo station' schedule1=1 \
        savingMode=0 dataDirectory="$folder/data" setClock=1 \
        forwardEnabled=1 forwardKind=0 forwardAddress=data@demo.local smtpServer="$smtp" \
        alarmEnabled=1 alarmNotifyKind=0 alarmAddress=alarm@demo.local \
        reportEnabled=1 reportAddress=report@demo.local
    # Alarms and run reports go through the station's own SMTP host (settings.xml, place 1).
    sed -i "s|<value>localhost:25</value>|<value>$smtp</value>|" "$folder/settings.xml"
}
