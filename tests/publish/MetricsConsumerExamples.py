"""The consumer examples of the README ("Many stations") as their programs would read them.

An operator copies them as they are: a Telegraf file that is not valid TOML, a subscription
that misses the readings (or takes the status topics for readings), a JSON path the payload
does not have, or a bridge without a persistent session loses readings without a word.

Usage: MetricsConsumerExamples.py SOURCE_DIR
"""

import datetime
import json
import sys
import tomllib
import unittest
from pathlib import Path

SOURCE = Path(sys.argv.pop(1))
README = (SOURCE / "README.md").read_text(encoding="utf-8")
TELEGRAF = (SOURCE / "docs" / "telegraf-vantrell.conf").read_text(encoding="utf-8")
BRIDGE = (SOURCE / "docs" / "mosquitto-bridge.conf").read_text(encoding="utf-8")

# A reading as the station publishes it, on its topic; the other topics it publishes.
READING_TOPIC = "vantrell/site-a/KV20260001/3"
READING = json.loads(
    '{"time": "2026-12-05T07:00:00Z", "local": "2026-12-05T08:00:00+01:00", "value": 21.4, '
    '"unit": "\u00b0C", "name": "Temperatur", "device": 3}'
)
OTHER_TOPICS = ["vantrell/site-a/device/3/status", "vantrell/site-a/state"]

# Go's reference layout of RFC 3339, which Telegraf takes as timestamp_format.
RFC3339_LAYOUT = "2006-01-02T15:04:05Z07:00"


def matches(subscription, topic):
    """MQTT topic filter matching: + one level, # the rest."""
    wanted, levels = subscription.split("/"), topic.split("/")
    for k, w in enumerate(wanted):
        if w == "#":
            return True
        if k >= len(levels) or (w != "+" and w != levels[k]):
            return False
    return len(wanted) == len(levels)


def gjson(payload, path):
    """The value at a plain GJSON path (dot-separated keys), or KeyError."""
    value = payload
    for key in path.split("."):
        value = value[key]
    return value


class TelegrafExample(unittest.TestCase):
    def setUp(self):
        self.conf = tomllib.loads(TELEGRAF)
        (self.consumer,) = self.conf["inputs"]["mqtt_consumer"]

    def test_readme_shows_the_file_as_it_is(self):
        self.assertIn("```toml\n" + TELEGRAF + "```\n", README)

    def test_it_subscribes_to_the_readings_and_nothing_else(self):
        topics = self.consumer["topics"]
        self.assertTrue(any(matches(t, READING_TOPIC) for t in topics), topics)
        for other in OTHER_TOPICS:
            self.assertFalse(any(matches(t, other) for t in topics), other)
        self.assertEqual(self.consumer["qos"], 1)
        self.assertTrue(self.consumer["persistent_session"])
        self.assertTrue(self.consumer["client_id"], "a persistent session needs a client id")

    def test_the_topic_gives_station_serial_and_channel(self):
        (parsing,) = self.consumer["topic_parsing"]
        self.assertTrue(matches(parsing["topic"], READING_TOPIC))
        names, levels = parsing["tags"].split("/"), READING_TOPIC.split("/")
        self.assertEqual(len(names), len(levels))
        tags = {name: level for name, level in zip(names, levels) if name != "_"}
        self.assertEqual(tags, {"station": "site-a", "serial": "KV20260001", "channel": "3"})

    def test_every_json_path_is_in_the_payload(self):
        self.assertEqual(self.consumer["data_format"], "json_v2")
        (parser,) = self.consumer["json_v2"]
        self.assertTrue(parser["measurement_name"])
        time = gjson(READING, parser["timestamp_path"])
        self.assertEqual(parser["timestamp_format"], RFC3339_LAYOUT)
        self.assertEqual(datetime.datetime.fromisoformat(time).utcoffset(), datetime.timedelta(0))
        for tag in parser["tag"]:
            gjson(READING, tag["path"])
        (field,) = parser["field"]
        self.assertEqual(field["type"], "float")
        self.assertIsInstance(gjson(READING, field["path"]), (int, float))

    def test_it_writes_to_influxdb_v2(self):
        (output,) = self.conf["outputs"]["influxdb_v2"]
        for key in ("urls", "token", "organization", "bucket"):
            self.assertTrue(output.get(key), key)


class BridgeExample(unittest.TestCase):
    def setUp(self):
        self.settings = {}
        for line in BRIDGE.splitlines():
            if line.strip() and not line.startswith("#"):
                key, _, value = line.partition(" ")
                self.settings.setdefault(key, []).append(value)

    def one(self, key):
        (value,) = self.settings[key]
        return value

    def test_readme_shows_the_file_as_it_is(self):
        self.assertIn("```\n" + BRIDGE + "```\n", README)

    def test_it_forwards_every_topic_of_the_stations_at_qos_1(self):
        self.assertTrue(self.one("connection"))
        host, _, port = self.one("address").partition(":")
        self.assertTrue(host)
        forwarded = [t.split() for t in self.settings["topic"]]
        for topic in [READING_TOPIC] + OTHER_TOPICS:
            self.assertTrue(
                any(matches(f[0], topic) and f[1] in ("out", "both") and f[2] == "1"
                    for f in forwarded),
                topic,
            )
        if port == "8883":
            self.assertTrue(self.one("bridge_cafile"), "TLS to the centre needs its CA")

    def test_queued_messages_survive_an_outage(self):
        self.assertEqual(self.one("cleansession"), "false")
        self.assertTrue(self.one("remote_clientid"))

    def test_its_notifications_are_no_reading_for_telegraf(self):
        topics = tomllib.loads(TELEGRAF)["inputs"]["mqtt_consumer"][0]["topics"]
        notification = self.one("notification_topic")
        self.assertFalse(any(matches(t, notification) for t in topics), notification)


if __name__ == "__main__":
    unittest.main()
